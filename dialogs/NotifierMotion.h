// NotifierMotion: where the taskbar notifier slides from and to, and its
// timers and states, without a window. CTaskbarNotifier feeds it Show and its
// timer ticks and carries out the NotifierAction it answers.
//
// A notification runs hidden -> appearing -> waiting -> disappearing -> hidden:
//   Show (hidden)      the window is shown just outside the work area on the
//                      taskbar's side; timer 1 starts. The state changes at
//                      the first tick.
//   timer 1 (appear)   one step of kSlideStep pixels inwards per tick; once
//                      fully shown, timer 2 (stay) starts.
//   timer 2 (stay)     after kStayTimeMs timer 3 starts.
//   timer 3 (vanish)   one step outwards per tick; back at the start the
//                      window hides.
// A Show while waiting restarts the stay time; a Show while disappearing puts
// the window straight back to its shown place and waits again; a Show while
// appearing only shows the new text.
#pragma once

#include <windows.h>

#include <vector>

#include "framework/Handles.h"

namespace kivra {

enum class TaskbarSide { Bottom, Top, Left, Right };

// The side of the screen the taskbar is on, from the work area: right when
// the work area is narrower than the screen and starts at x = 0, left when it
// is narrower and starts elsewhere, top when it is lower than the screen and
// starts below y = 0, bottom otherwise (also for a taskbar that hides itself).
TaskbarSide TaskbarSideOf(const RECT& workArea, int screenWidth, int screenHeight);

enum class NotifierState { Hidden = 0, Appearing = 1, Waiting = 2, Disappearing = 3 };

// Which way the window moves while it appears.
enum class SlideDirection { Down = 1, Right = 2, Left = 3, Up = 4 };

constexpr UINT_PTR kNotifierAppearTimer = 1;
constexpr UINT_PTR kNotifierStayTimer = 2;
constexpr UINT_PTR kNotifierDisappearTimer = 3;
constexpr UINT kNotifierShowTimeMs = 500;
constexpr UINT kNotifierStayTimeMs = 1000;
constexpr UINT kNotifierHideTimeMs = 500;
constexpr int kNotifierSlideStep = 2;

// What the window does after a Show or a tick, in this order: kill a timer,
// start a timer, show the window, move it to NotifierMotion::Position(),
// redraw it, hide it. A zero timer id means none.
struct NotifierAction {
    UINT_PTR killTimer = 0;
    UINT_PTR startTimer = 0;
    UINT interval = 0;
    bool show = false;
    bool move = false;
    bool redraw = false;
    bool hide = false;
};

class NotifierMotion {
public:
    // The window's size; the skin bitmap's size, 400 x 400 without one.
    void SetSize(int width, int height);
    int Width() const { return width_; }
    int Height() const { return height_; }

    // A notification is to be shown, with the work area and the screen size
    // as the system gives them now.
    NotifierAction Show(const RECT& workArea, int screenWidth, int screenHeight);
    // One tick of the timer with this id; ticks of other timers do nothing.
    NotifierAction Tick(UINT_PTR timer);
    // The window was hidden: back to the hidden state.
    void Reset() { state_ = NotifierState::Hidden; }

    NotifierState State() const { return state_; }
    SlideDirection Direction() const { return direction_; }
    POINT Position() const { return position_; }
    POINT StartPosition() const { return start_; }
    UINT ShowStepMs() const { return showStepMs_; }
    UINT HideStepMs() const { return hideStepMs_; }

private:
    int SlideLength() const;
    // One step along the slide towards target; false when it is there.
    bool StepTowards(POINT target);
    // The fully shown place for the current direction in this work area.
    POINT ShownPosition(const RECT& workArea) const;

    int width_ = 400;
    int height_ = 400;
    NotifierState state_ = NotifierState::Hidden;
    SlideDirection direction_ = SlideDirection::Up;
    POINT start_ = {};
    POINT shown_ = {};
    POINT position_ = {};
    UINT showStepMs_ = 0;
    UINT hideStepMs_ = 0;
};

// The width of the notifier's shape: the bitmap's width rounded down to a
// multiple of 4, so that its 24-bit rows need no padding.
constexpr int NotifierShapeWidth(int bitmapWidth) { return bitmapWidth > 0 ? bitmapWidth & ~3 : 0; }

// The region of the pixels of a top-down 24-bit picture (blue, green, red
// bytes, rows of exactly width * 3 bytes) that are not the mask colour. Null
// when there is no such pixel or the sizes do not match the pixels: an empty
// window region would make the window vanish.
UniqueRegion MaskedRegion(const std::vector<BYTE>& pixels, int width, int height, COLORREF mask);

// MaskedRegion of a bitmap, read at NotifierShapeWidth of its width; columns
// beyond that width are outside. Null when it cannot be read or is narrower
// than 4 pixels.
UniqueRegion NotifierRegion(HBITMAP bitmap, COLORREF mask);

}  // namespace kivra
