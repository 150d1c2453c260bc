// CWindow: the owning base of every window class of the shell.
//
// A CWindow is attached to one window handle at a time, found from the handle
// through a table of the window's thread (CWindow::FromHandle; a window
// property answers for other threads). It gets there in one of
// three ways:
//   - Create() with a class registered by RegisterWindowClass(): the static
//     window procedure stores `this` at WM_NCCREATE, so the object sees every
//     message from WM_NCCREATE on;
//   - Create() with a system class (BUTTON, ToolbarWindow32, ...): the window
//     is subclassed right after CreateWindowExW returns, so the messages of
//     its creation (WM_CREATE) go to the class alone;
//   - SubclassWindow() / SubclassDlgItem() on a window made by someone else,
//     typically a control of a dialog template.
// Windows made by Create() are owned and destroyed with the object; subclassed
// ones are only given back (the original procedure is put back in place).
//
// Every message goes through one path, RouteMessage():
//   1. reflection: WM_COMMAND from a control, WM_NOTIFY, WM_DRAWITEM from a
//      control and WM_CTLCOLOR* are first offered to the sending control's own
//      object (OnReflectedMessage); when it takes the message, the parent's
//      handler is not run and the control's answer is the result;
//   2. the class's WindowProc, one visible switch per class:
//
//      LRESULT CFoo::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
//      {
//          switch (msg) {
//          case WM_TIMER: OnTimer(wParam); return 0;   // void OnTimer(UINT_PTR id)
//          case WM_NCMOUSEMOVE:  // default, then void OnNcMouseMove(UINT hit, POINT screen)
//              return DefaultThen(msg, wParam, lParam,
//                                 [&] { OnNcMouseMove(static_cast<UINT>(wParam), PointFromLParam(lParam)); });
//          }
//          return CBase::WindowProc(msg, wParam, lParam);
//      }
//
//   handlers take the message's parameters unpacked (PointFromLParam and
//   SizeFromLParam below), and "default handling, then ours" is DefaultThen;
// Nothing thrown by a handler leaves the window procedure: it is caught there
// and the message answers 0.
#pragma once

#include "framework/WindowRef.h"

namespace kivra {

class CWindow : public WindowRef {
public:
    CWindow() = default;
    // Gives the window back: an owned window is destroyed (without running this
    // object's handlers any more: a class that needs its own WM_DESTROY
    // handling destroys the window in its own destructor), a subclassed one
    // gets its original procedure back.
    virtual ~CWindow();
    CWindow(const CWindow&) = delete;
    CWindow& operator=(const CWindow&) = delete;

    // The object attached to a window of this process, or null.
    static CWindow* FromHandle(HWND hwnd);

    // Registers a window class whose windows route to their CWindow object:
    // lpfnWndProc and (when null) hInstance are filled in. Answers the atom,
    // 0 on failure; a class registered before counts as success.
    static ATOM RegisterWindowClass(WNDCLASSEXW windowClass);

    // CreateWindowExW with this object attached (see the header comment).
    // idOrMenu is the control id of a child window or the menu of a top-level one.
    bool Create(DWORD exStyle, const wchar_t* className, const wchar_t* text, DWORD style,
                int x, int y, int width, int height, HWND parent, UINT_PTR idOrMenu = 0);
    bool Create(DWORD exStyle, const wchar_t* className, const wchar_t* text, DWORD style,
                const RECT& rect, HWND parent, UINT_PTR idOrMenu = 0)
    {
        return Create(exStyle, className, text, style, rect.left, rect.top, rect.right - rect.left,
                      rect.bottom - rect.top, parent, idOrMenu);
    }

    // Attaches this object to an existing window of this thread by replacing
    // its window procedure. Fails when this object or the window is attached already.
    bool SubclassWindow(HWND hwnd);
    bool SubclassDlgItem(HWND dialog, int id) { return SubclassWindow(::GetDlgItem(dialog, id)); }
    // Lets go of the window without destroying it; answers its handle.
    HWND Detach();

    // Offered each message of the shell's message loops before it is
    // translated and dispatched, for the window the message is addressed to
    // and each of its parents (see MessagePump.h). True consumes the message.
    virtual bool PreTranslateMessage(MSG* msg);

    // A message the parent received from this control (see the header
    // comment). True takes it, with *result as the parent's answer.
    virtual bool OnReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);

protected:
    // The class's message map. The base answers DefaultProc.
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    // What the window would do without this object: the subclassed window's
    // own procedure, or DefWindowProcW.
    virtual LRESULT DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam);

    // Default handling, then ours: DefaultProc, then handler(); answers what
    // the default answered.
    template <typename Handler>
    LRESULT DefaultThen(UINT msg, WPARAM wParam, LPARAM lParam, Handler&& handler)
    {
        const LRESULT result = DefaultProc(msg, wParam, lParam);
        handler();
        return result;
    }

    // Reflection, then WindowProc.
    LRESULT RouteMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    // The single entry of both static procedures: RouteMessage with nothing
    // thrown leaving the procedure (a throw answers 0), and after WM_NCDESTROY
    // self lets go of hwnd, unless a handler deleted self (whose destructor
    // let go already).
    static LRESULT RouteGuarded(CWindow* self, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    // Binds this object and the handle in both directions.
    void AttachObject(HWND hwnd);
    // AttachObject, then this object's procedure in place of the window's
    // (unless it is one of our own classes), without SubclassWindow's checks.
    void AttachAndSubclass(HWND hwnd);
    // Undoes AttachObject (and the subclassing, when it is still ours to undo).
    void DetachObject();
    // Attached object without the same-process check, for the procedures.
    static CWindow* ObjectOf(HWND hwnd);

    bool ownsWindow_ = false;

private:
    static LRESULT CALLBACK StaticWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    WNDPROC previousProc_ = nullptr;  // set while subclassed
    bool objectProperty_ = false;     // the object is in a property too (the tables had no room)
};

// The control a message is about, for reflection: the sender of WM_COMMAND
// (control notifications only, not menus or accelerators) and WM_NOTIFY, the
// item window of WM_DRAWITEM (not menus), the control of WM_CTLCOLOR*.
// Null for every other message.
HWND ReflectionTarget(UINT msg, WPARAM wParam, LPARAM lParam);

// The point of a mouse message's lParam, signed (a point left of or above the
// window, or on a second monitor, is negative).
inline POINT PointFromLParam(LPARAM lParam)
{
    return {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}
// The client size of WM_SIZE.
inline SIZE SizeFromLParam(LPARAM lParam)
{
    return {LOWORD(lParam), HIWORD(lParam)};
}

}  // namespace kivra
