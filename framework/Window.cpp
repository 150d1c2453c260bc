#include "framework/Window.h"

#include <commctrl.h>

#include <unordered_map>

#include "framework/NoThrow.h"

namespace kivra {

namespace {

// The attached object, and the procedure a subclassed window had before.
// Window properties rather than GWLP_USERDATA, so that subclassed controls
// keep their user data for whoever else wants it.
constexpr wchar_t kObjectProperty[] = L"Kivra.WindowObject";
constexpr wchar_t kPreviousProcProperty[] = L"Kivra.PreviousProc";

// The objects attached to this thread's windows. A property lookup is a round
// trip to the window server under Wine (microseconds, on every message), so
// the procedures and the message pump look here instead. A window lives on
// the thread that made it, its messages arrive there, and objects attach and
// let go there (SubclassWindow refuses a foreign window; DestroyWindow works
// only on the window's own thread), so each thread keeps its own table and
// none needs a lock.
//
// The table hangs off a plain TLS slot rather than a thread_local object:
// windows still alive when their thread ends are destroyed after the
// runtime's thread_local destructors have run, and their WM_NCDESTROY must
// still find a table. It is deleted when its last window lets go.
using ObjectTable = std::unordered_map<HWND, CWindow*>;

DWORD ObjectTableSlot()
{
    static const DWORD slot = ::TlsAlloc();
    return slot;
}

ObjectTable* ThisThreadsTable()
{
    const DWORD slot = ObjectTableSlot();
    return slot != TLS_OUT_OF_INDEXES ? static_cast<ObjectTable*>(::TlsGetValue(slot)) : nullptr;
}

// Every thread's objects once more, under a lock, for the lookups from other
// threads (FromHandle), which are rare. A table rather than a property on
// each window: setting a property is a round trip to the window server under
// Wine, once per window of a thousand-button skin. Never destroyed: windows
// may outlive the statics.
struct SharedObjectTable {
    SRWLOCK lock = SRWLOCK_INIT;
    ObjectTable objects;
};

// Holds the shared table's lock for a scope, shared or exclusive.
class SharedTableLock {
public:
    SharedTableLock(SharedObjectTable& table, bool exclusive) : lock_(&table.lock), exclusive_(exclusive)
    {
        exclusive_ ? ::AcquireSRWLockExclusive(lock_) : ::AcquireSRWLockShared(lock_);
    }
    ~SharedTableLock() { exclusive_ ? ::ReleaseSRWLockExclusive(lock_) : ::ReleaseSRWLockShared(lock_); }
    SharedTableLock(const SharedTableLock&) = delete;
    SharedTableLock& operator=(const SharedTableLock&) = delete;

private:
    SRWLOCK* lock_;
    bool exclusive_;
};

SharedObjectTable& Shared()
{
    static SharedObjectTable* const table = new SharedObjectTable();
    return *table;
}

CWindow* AttachedOnAnyThread(HWND hwnd)
{
    SharedObjectTable& shared = Shared();
    const SharedTableLock locked(shared, false);
    const auto found = shared.objects.find(hwnd);
    return found != shared.objects.end() ? found->second : nullptr;
}

// The object attached to a window of this thread, from the table alone.
CWindow* AttachedOnThisThread(HWND hwnd)
{
    const ObjectTable* table = ThisThreadsTable();
    if (!table)
        return nullptr;
    const auto found = table->find(hwnd);
    return found != table->end() ? found->second : nullptr;
}

void Leave(HWND hwnd, CWindow* object);

// False when memory or the TLS slot ran out: the window is in neither table
// then, and a property answers for it.
bool Enter(HWND hwnd, CWindow* object)
{
    const DWORD slot = ObjectTableSlot();
    if (slot == TLS_OUT_OF_INDEXES)
        return false;
    SharedObjectTable& shared = Shared();
    try {
        ObjectTable* table = ThisThreadsTable();
        if (!table) {
            table = new ObjectTable();
            ::TlsSetValue(slot, table);
        }
        (*table)[hwnd] = object;
        const SharedTableLock locked(shared, true);
        shared.objects[hwnd] = object;
    } catch (...) {
        Leave(hwnd, object);
        return false;
    }
    return true;
}

void Leave(HWND hwnd, CWindow* object)
{
    {
        SharedObjectTable& shared = Shared();
        const SharedTableLock locked(shared, true);
        const auto sharedEntry = shared.objects.find(hwnd);
        if (sharedEntry != shared.objects.end() && sharedEntry->second == object)
            shared.objects.erase(sharedEntry);
    }

    ObjectTable* table = ThisThreadsTable();
    if (!table)
        return;
    const auto found = table->find(hwnd);
    if (found != table->end() && found->second == object)
        table->erase(found);
    if (table->empty()) {
        delete table;
        ::TlsSetValue(ObjectTableSlot(), nullptr);
    }
}

}  // namespace

CWindow::~CWindow()
{
    if (!hwnd_)
        return;
    HWND hwnd = hwnd_;
    bool owned = ownsWindow_;
    DetachObject();
    if (owned)
        ::DestroyWindow(hwnd);
}

CWindow* CWindow::ObjectOf(HWND hwnd)
{
    if (!hwnd)
        return nullptr;
    if (CWindow* object = AttachedOnThisThread(hwnd))
        return object;
    // Only the procedures ask for windows that are ours; one missing from the
    // tables (see Enter) is still found by its property.
    return static_cast<CWindow*>(::GetPropW(hwnd, kObjectProperty));
}

CWindow* CWindow::FromHandle(HWND hwnd)
{
    if (!hwnd)
        return nullptr;
    // A property of another process's window would be a pointer into that process.
    DWORD process = 0;
    const DWORD thread = ::GetWindowThreadProcessId(hwnd, &process);
    if (process != ::GetCurrentProcessId())
        return nullptr;
    if (thread != ::GetCurrentThreadId()) {
        if (CWindow* object = AttachedOnAnyThread(hwnd))
            return object;
        return static_cast<CWindow*>(::GetPropW(hwnd, kObjectProperty));
    }
    return AttachedOnThisThread(hwnd);
}

ATOM CWindow::RegisterWindowClass(WNDCLASSEXW windowClass)
{
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = StaticWindowProc;
    if (!windowClass.hInstance)
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
    ATOM atom = ::RegisterClassExW(&windowClass);
    if (!atom && ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS) {
        WNDCLASSEXW existing{};
        existing.cbSize = sizeof(existing);
        atom = static_cast<ATOM>(::GetClassInfoExW(windowClass.hInstance, windowClass.lpszClassName, &existing));
    }
    return atom;
}

bool CWindow::Create(DWORD exStyle, const wchar_t* className, const wchar_t* text, DWORD style,
                     int x, int y, int width, int height, HWND parent, UINT_PTR idOrMenu)
{
    if (hwnd_)
        return false;
    // `this` goes along as the creation parameter; only our own classes read it.
    HWND hwnd = ::CreateWindowExW(exStyle, className, text, style, x, y, width, height, parent,
                                  reinterpret_cast<HMENU>(idOrMenu), ::GetModuleHandleW(nullptr), this);
    if (!hwnd) {
        DetachObject();  // in case creation failed after WM_NCCREATE
        return false;
    }
    // A system class's window made here just now: on this thread, and nobody
    // else's object can be attached to it yet, so the checks of
    // SubclassWindow (a property lookup, a round trip to the window server
    // under Wine, per window of a thousand-button skin) are left out.
    if (hwnd_ != hwnd)
        AttachAndSubclass(hwnd);
    ownsWindow_ = true;
    return true;
}

bool CWindow::SubclassWindow(HWND hwnd)
{
    if (!hwnd || hwnd_)
        return false;
    // Window procedures run on the window's thread; a foreign one cannot be ours.
    if (::GetWindowThreadProcessId(hwnd, nullptr) != ::GetCurrentThreadId() || ObjectOf(hwnd))
        return false;
    AttachAndSubclass(hwnd);
    return true;
}

void CWindow::AttachAndSubclass(HWND hwnd)
{
    AttachObject(hwnd);
    auto current = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
    if (current == StaticWindowProc)
        return;  // one of our own classes: nothing to replace
    // The procedure before ours goes into a property only if we let go while
    // another subclass sits on top (DetachObject): a property is a round trip
    // to the window server under Wine.
    previousProc_ = current;
    ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StaticWindowProc));
}

HWND CWindow::Detach()
{
    HWND hwnd = hwnd_;
    DetachObject();
    return hwnd;
}

void CWindow::AttachObject(HWND hwnd)
{
    hwnd_ = hwnd;
    objectProperty_ = !Enter(hwnd, this);
    if (objectProperty_)
        ::SetPropW(hwnd, kObjectProperty, this);
}

void CWindow::DetachObject()
{
    if (!hwnd_)
        return;
    HWND hwnd = hwnd_;
    if (previousProc_ &&
        ::GetWindowLongPtrW(hwnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(StaticWindowProc)) {
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc_));
    } else if (previousProc_) {
        // Someone subclassed the window after us: our procedure stays in
        // their chain and forwards through the property from now on.
        ::SetPropW(hwnd, kPreviousProcProperty, reinterpret_cast<HANDLE>(previousProc_));
    }
    if (objectProperty_)
        ::RemovePropW(hwnd, kObjectProperty);
    Leave(hwnd, this);
    hwnd_ = nullptr;
    previousProc_ = nullptr;
    objectProperty_ = false;
    ownsWindow_ = false;
}

bool CWindow::PreTranslateMessage(MSG*)
{
    return false;
}

bool CWindow::OnReflectedMessage(UINT, WPARAM, LPARAM, LRESULT*)
{
    return false;
}

LRESULT CWindow::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefaultProc(msg, wParam, lParam);
}

LRESULT CWindow::DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (previousProc_)
        return ::CallWindowProcW(previousProc_, hwnd_, msg, wParam, lParam);
    return ::DefWindowProcW(hwnd_, msg, wParam, lParam);
}

LRESULT CWindow::RouteMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    HWND control = ReflectionTarget(msg, wParam, lParam);
    if (control && control != hwnd_) {
        CWindow* target = FromHandle(control);
        LRESULT result = 0;
        if (target && target != this && target->OnReflectedMessage(msg, wParam, lParam, &result))
            return result;
    }
    return WindowProc(msg, wParam, lParam);
}

LRESULT CALLBACK CWindow::StaticWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    CWindow* self = ObjectOf(hwnd);
    if (!self && msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        self = create ? static_cast<CWindow*>(create->lpCreateParams) : nullptr;
        if (self && !self->hwnd_)
            self->AttachObject(hwnd);
        else
            self = nullptr;
    }
    if (!self) {
        // A window whose object let go while another subclass stayed on top of ours.
        if (auto previous = reinterpret_cast<WNDPROC>(::GetPropW(hwnd, kPreviousProcProperty))) {
            if (msg == WM_NCDESTROY)
                ::RemovePropW(hwnd, kPreviousProcProperty);
            return ::CallWindowProcW(previous, hwnd, msg, wParam, lParam);
        }
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }

    return RouteGuarded(self, hwnd, msg, wParam, lParam);
}

LRESULT CWindow::RouteGuarded(CWindow* self, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = NoThrow<LRESULT>(0, [&] { return self->RouteMessage(msg, wParam, lParam); });
    // The handler may have deleted the object (its destructor detached it then).
    if (msg == WM_NCDESTROY && ObjectOf(hwnd) == self)
        self->DetachObject();
    return result;
}

HWND ReflectionTarget(UINT msg, WPARAM, LPARAM lParam)
{
    if (!lParam)
        return nullptr;  // menus, accelerators, and messages without a control
    switch (msg) {
    case WM_COMMAND:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<HWND>(lParam);
    case WM_NOTIFY:
        return reinterpret_cast<const NMHDR*>(lParam)->hwndFrom;
    case WM_DRAWITEM: {
        auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        return item->CtlType != ODT_MENU ? item->hwndItem : nullptr;
    }
    default:
        return nullptr;
    }
}

}  // namespace kivra
