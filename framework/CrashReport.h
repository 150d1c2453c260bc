// The crash report. When Kivra.exe fails (an exception nobody handled, on any
// thread, or abort()), it writes log\crash-<date>-<time>.txt beside the
// executable: the exception, the faulting module and offset, the plugin at
// fault when the fault lies in a plugin library or in code a plugin entry
// called, the plugin entries the thread was in, the registers, the return
// addresses found on the stack with their modules, and the loaded modules;
// and, where the system's dbghelp.dll can write one, a minidump beside it.
// Then the process ends with the exception code as its exit code. The next
// start says once, in a message box, that the last run ended in a crash, and
// in which plugin.
//
// The fault handler is SetUnhandledExceptionFilter's: MinGW has no __try, so
// the shell cannot wrap the plugin entries in exception frames; instead the
// loader and the registry note which plugin entry each thread is in
// (framework/CrashContext.h), and the filter reads that.
#pragma once

#include <windows.h>

namespace kivra {

// Installs the handlers; call first thing on the user-interface thread.
void InstallCrashReport();

// When the last run left a crash notice: shows it once in a message box and
// removes it. Returns true when there was one.
bool ShowLastCrashOnce(HWND owner);

}  // namespace kivra
