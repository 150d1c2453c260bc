// ostel.dll: the in-process message bus. One delivery thread takes posted
// messages from a queue in posting order and calls every listener for each;
// a listener subscribed with OpSubscribeOnThisThread gets its calls through a
// message-only window of the thread that subscribed it instead.
//
// The bus object is made on first use and never destroyed: at process exit
// the system has already ended the delivery thread, and a std::thread still
// joinable in a static destructor would abort the process.
#include "ostel.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// A listener that never returns must not let a queue eat all memory; past
// this many waiting messages posting (or handing on to a thread) is refused.
constexpr size_t kMaxQueuedMessages = 100000;

// Posted to a receiving thread's window when its queue stops being empty.
constexpr UINT kDeliverMessage = WM_APP + 0x69;
constexpr wchar_t kReceiverClass[] = L"OstelBusReceiver";

// How often a thread waiting for a listener call to end answers messages that
// other threads send to its windows.
constexpr auto kAnswerSendsEvery = std::chrono::milliseconds(10);

struct Message {
    unsigned long message;
    unsigned int wParam;
    long lParam;
};

struct Listener {
    int cookie;
    TBusListener callback;
    void* context;
    HMODULE module;  // the library that holds callback's code
    DWORD thread;    // 0: called on the delivery thread; else on this thread
};

// A listener call under way.
struct Call {
    int cookie;
    DWORD thread;
};

// The messages waiting for the listeners of one receiving thread.
struct Receiver {
    DWORD thread;
    HWND window;
    std::deque<std::pair<int, Message>> waiting;  // listener cookie, message
};

HMODULE ModuleOf(const void* address)
{
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         static_cast<LPCWSTR>(address), &module);
    return module;
}

LRESULT CALLBACK ReceiverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

class Bus {
public:
    int Init();
    int Exit();
    int Post(const Message& message);
    int Subscribe(TBusListener callback, void* context, bool onThisThread);
    int Unsubscribe(int cookie);
    int UnsubscribeModule(HMODULE module);
    void DrainReceiver();

private:
    void Run();
    void Deliver(std::unique_lock<std::mutex>& lock, const Message& message);
    void HandOn(const Listener& listener, const Message& message);
    void CallListener(std::unique_lock<std::mutex>& lock, const Listener& listener, const Message& message);
    HWND ReceiverWindow();
    // Waits until no listener of cookies is being called on another thread.
    void WaitForCallsOf(std::unique_lock<std::mutex>& lock, const std::vector<int>& cookies);
    // Callers hold mutex_.
    bool OnDeliveryThreadLocked() const { return std::this_thread::get_id() == deliveryId_; }
    bool OnDeliveryThread()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return OnDeliveryThreadLocked();
    }

    // Serialises OpInit and OpExit, so that a new delivery thread never runs
    // beside one that is still draining. Never taken on the delivery thread.
    std::mutex lifecycle_;

    // Guards everything below.
    std::mutex mutex_;
    std::condition_variable wake_;     // the queue grew, or the bus stops
    std::condition_variable callDone_; // a listener call returned
    std::deque<Message> queue_;
    bool accepting_ = false;
    bool stopping_ = false;
    std::thread worker_;
    std::thread::id deliveryId_;
    std::vector<Listener> listeners_;  // ascending cookies
    std::vector<Call> calls_;
    std::vector<Receiver> receivers_;
    int nextCookie_ = 1;
};

Bus& TheBus()
{
    static Bus* bus = new Bus;
    return *bus;
}

int Bus::Init()
{
    if (OnDeliveryThread()) {
        // A listener asking: it runs, so the bus is running unless it drains.
        std::lock_guard<std::mutex> lock(mutex_);
        return accepting_ ? 1 : 0;
    }
    std::lock_guard<std::mutex> life(lifecycle_);
    std::lock_guard<std::mutex> lock(mutex_);
    if (accepting_)
        return 1;
    try {
        stopping_ = false;
        worker_ = std::thread([this] { Run(); });
    } catch (...) {
        return 0;  // no thread could be started; the bus stays stopped
    }
    deliveryId_ = worker_.get_id();
    accepting_ = true;
    return 1;
}

int Bus::Exit()
{
    // Joining the delivery thread from itself cannot work: a listener that
    // wants the bus stopped has to leave that to another thread.
    if (OnDeliveryThread())
        return 0;
    std::lock_guard<std::mutex> life(lifecycle_);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!accepting_)
            return 0;
        accepting_ = false;  // from now on posts are refused; the queue drains
        stopping_ = true;
    }
    wake_.notify_all();
    worker_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    deliveryId_ = std::thread::id();
    return 1;
}

int Bus::Post(const Message& message)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!accepting_ || queue_.size() >= kMaxQueuedMessages)
            return 0;
        try {
            queue_.push_back(message);
        } catch (...) {
            return 0;
        }
    }
    wake_.notify_one();
    return 1;
}

HWND Bus::ReceiverWindow()
{
    const DWORD thread = ::GetCurrentThreadId();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const Receiver& receiver : receivers_)
            if (receiver.thread == thread && ::IsWindow(receiver.window))
                return receiver.window;
    }
    // Made outside the lock: creating a window calls its procedure.
    const HINSTANCE instance = ModuleOf(reinterpret_cast<const void*>(&ReceiverProc));
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ReceiverProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kReceiverClass;
    ::RegisterClassW(&windowClass);  // fails harmlessly when registered already
    HWND window = ::CreateWindowExW(0, kReceiverClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    if (window == nullptr)
        return nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    try {
        // A window of a thread that ended is gone; its entry is reused.
        auto stale = std::find_if(receivers_.begin(), receivers_.end(),
                                  [thread](const Receiver& r) { return r.thread == thread; });
        if (stale != receivers_.end()) {
            stale->window = window;
            stale->waiting.clear();
        } else {
            receivers_.push_back({thread, window, {}});
        }
    } catch (...) {
        ::DestroyWindow(window);
        return nullptr;
    }
    return window;
}

int Bus::Subscribe(TBusListener callback, void* context, bool onThisThread)
{
    if (callback == nullptr)
        return 0;
    if (onThisThread && ReceiverWindow() == nullptr)
        return 0;
    const HMODULE module = ModuleOf(reinterpret_cast<const void*>(callback));
    std::lock_guard<std::mutex> lock(mutex_);
    if (nextCookie_ == 0x7FFFFFFF)
        return 0;
    try {
        listeners_.push_back({nextCookie_, callback, context, module, onThisThread ? ::GetCurrentThreadId() : 0});
    } catch (...) {
        return 0;
    }
    return nextCookie_++;
}

void Bus::WaitForCallsOf(std::unique_lock<std::mutex>& lock, const std::vector<int>& cookies)
{
    const DWORD self = ::GetCurrentThreadId();
    const auto done = [&] {
        return std::none_of(calls_.begin(), calls_.end(), [&](const Call& call) {
            return call.thread != self && std::find(cookies.begin(), cookies.end(), call.cookie) != cookies.end();
        });
    };
    // A listener may be sending a message to a window of this thread, which
    // would wait for this thread as this thread waits for it: answer such
    // messages meanwhile.
    while (!callDone_.wait_for(lock, kAnswerSendsEvery, done)) {
        lock.unlock();
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        lock.lock();
    }
}

int Bus::Unsubscribe(int cookie)
{
    std::unique_lock<std::mutex> lock(mutex_);
    auto found = std::find_if(listeners_.begin(), listeners_.end(),
                              [cookie](const Listener& l) { return l.cookie == cookie; });
    if (cookie <= 0 || found == listeners_.end())
        return 0;
    listeners_.erase(found);
    // A call of this listener under way on this thread is the caller itself.
    WaitForCallsOf(lock, {cookie});
    return 1;
}

int Bus::UnsubscribeModule(HMODULE module)
{
    if (module == nullptr)
        return 0;
    std::unique_lock<std::mutex> lock(mutex_);
    std::vector<int> removed;
    for (auto listener = listeners_.begin(); listener != listeners_.end();) {
        if (listener->module == module) {
            removed.push_back(listener->cookie);
            listener = listeners_.erase(listener);
        } else {
            ++listener;
        }
    }
    WaitForCallsOf(lock, removed);
    return static_cast<int>(removed.size());
}

void Bus::Run()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return !queue_.empty() || stopping_; });
        if (queue_.empty())
            return;  // stopping, and everything posted before was delivered
        Message message = queue_.front();
        queue_.pop_front();
        Deliver(lock, message);
    }
}

// Calls listener without holding the lock, so that it may post, subscribe
// and unsubscribe; Unsubscribe from elsewhere waits for the call to end.
void Bus::CallListener(std::unique_lock<std::mutex>& lock, const Listener& listener, const Message& message)
{
    calls_.push_back({listener.cookie, ::GetCurrentThreadId()});
    lock.unlock();
    try {
        listener.callback(message.message, message.wParam, message.lParam, listener.context);
    } catch (...) {
        // A listener's fault must not end the delivering thread.
    }
    lock.lock();
    const DWORD self = ::GetCurrentThreadId();
    auto call = std::find_if(calls_.rbegin(), calls_.rend(), [&](const Call& c) {
        return c.cookie == listener.cookie && c.thread == self;
    });
    if (call != calls_.rend())
        calls_.erase(std::next(call).base());
    callDone_.notify_all();
}

// Queues message for a listener of another thread; its window is told when
// the queue was empty. A thread that is gone, or that lets too much wait,
// loses its messages.
void Bus::HandOn(const Listener& listener, const Message& message)
{
    auto receiver = std::find_if(receivers_.begin(), receivers_.end(),
                                 [&](const Receiver& r) { return r.thread == listener.thread; });
    if (receiver == receivers_.end() || receiver->waiting.size() >= kMaxQueuedMessages)
        return;
    const bool wasEmpty = receiver->waiting.empty();
    try {
        receiver->waiting.emplace_back(listener.cookie, message);
    } catch (...) {
        return;
    }
    if (wasEmpty && !::PostMessageW(receiver->window, kDeliverMessage, 0, 0))
        receiver->waiting.clear();
}

// Each step looks the next listener up afresh: one removed meanwhile is
// skipped, one added meanwhile is called.
void Bus::Deliver(std::unique_lock<std::mutex>& lock, const Message& message)
{
    int lastCookie = 0;
    for (;;) {
        auto next = std::find_if(listeners_.begin(), listeners_.end(),
                                 [lastCookie](const Listener& l) { return l.cookie > lastCookie; });
        if (next == listeners_.end())
            return;
        const Listener listener = *next;
        lastCookie = listener.cookie;
        if (listener.thread != 0)
            HandOn(listener, message);
        else
            CallListener(lock, listener, message);
    }
}

// On a receiving thread: calls its listeners for every message waiting, in
// order, skipping listeners removed meanwhile.
void Bus::DrainReceiver()
{
    const DWORD self = ::GetCurrentThreadId();
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        auto receiver =
            std::find_if(receivers_.begin(), receivers_.end(), [self](const Receiver& r) { return r.thread == self; });
        if (receiver == receivers_.end() || receiver->waiting.empty())
            return;
        const auto [cookie, message] = receiver->waiting.front();
        receiver->waiting.pop_front();
        auto listener = std::find_if(listeners_.begin(), listeners_.end(),
                                     [cookie = cookie](const Listener& l) { return l.cookie == cookie; });
        if (listener != listeners_.end()) {
            const Listener copy = *listener;
            CallListener(lock, copy, message);
        }
    }
}

LRESULT CALLBACK ReceiverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kDeliverMessage) {
        TheBus().DrainReceiver();
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int OpInit(void) { return TheBus().Init(); }

int OpExit(void) { return TheBus().Exit(); }

int TPostMessage(unsigned long message, unsigned int wParam, long lParam)
{
    return TheBus().Post({message, wParam, lParam});
}

int OpSubscribe(TBusListener listener, void* context) { return TheBus().Subscribe(listener, context, false); }

int OpSubscribeOnThisThread(TBusListener listener, void* context)
{
    return TheBus().Subscribe(listener, context, true);
}

int OpUnsubscribe(int cookie) { return TheBus().Unsubscribe(cookie); }

int OpUnsubscribeModule(void* module) { return TheBus().UnsubscribeModule(static_cast<HMODULE>(module)); }
