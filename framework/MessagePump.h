// How the shell's message loops (the modal loop of CDialog::DoModal and the
// loop of CApp::Run) handle one message, in this order; the first step that
// takes the message ends its processing:
//   1. the application's message filter, CApp::ProcessMessageFilter with the
//      loop's filter code (on the application's own thread only);
//   2. PreTranslateMessage of the objects attached to the window the message
//      is for and to each of its parents up to its top-level window, then of
//      the running modal dialog when it was not among them (so the main window
//      sees the messages of every other window of its loop);
//   3. the dialog manager, IsDialogMessageW, of the top-level window the
//      message is for when that is one of our dialogs (modeless dialogs get
//      their keyboard navigation so), else of the running modal dialog;
//   4. TranslateMessage and DispatchMessageW.
#pragma once

#include <windows.h>

namespace kivra {

class CDialog;

// running: the modal dialog whose loop this is, or null.
void ProcessMessage(MSG& msg, CDialog* running, int filterCode);

// Whether having handled msg lets the idle hook of a modal loop run again once
// the queue is empty. Painting, the caret-blink timer and a mouse move that
// did not move do not: a window that repaints on idle would otherwise keep
// the loop busy for ever. lastMouseMove remembers the previous mouse move.
bool RearmsIdle(const MSG& msg, MSG& lastMouseMove);

}  // namespace kivra
