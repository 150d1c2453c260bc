// ostel.dll: the in-process message bus. One delivery thread takes posted
// messages from a queue in posting order and calls every listener for each.
//
// The bus object is made on first use and never destroyed: at process exit
// the system has already ended the delivery thread, and a std::thread still
// joinable in a static destructor would abort the process.
#include "ostel.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// A listener that never returns must not let the queue eat all memory; past
// this many waiting messages posting is refused.
constexpr size_t kMaxQueuedMessages = 100000;

struct Message {
    unsigned long message;
    unsigned int wParam;
    long lParam;
};

struct Listener {
    int cookie;
    TBusListener callback;
    void* context;
};

class Bus {
public:
    int Init();
    int Exit();
    int Post(const Message& message);
    int Subscribe(TBusListener callback, void* context);
    int Unsubscribe(int cookie);

private:
    void Run();
    void Deliver(std::unique_lock<std::mutex>& lock, const Message& message);
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
    int nextCookie_ = 1;
    int callingCookie_ = 0;            // the listener being called, 0 for none
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

int Bus::Subscribe(TBusListener callback, void* context)
{
    if (callback == nullptr)
        return 0;
    std::lock_guard<std::mutex> lock(mutex_);
    if (nextCookie_ == 0x7FFFFFFF)
        return 0;
    try {
        listeners_.push_back({nextCookie_, callback, context});
    } catch (...) {
        return 0;
    }
    return nextCookie_++;
}

int Bus::Unsubscribe(int cookie)
{
    std::unique_lock<std::mutex> lock(mutex_);
    auto found = std::find_if(listeners_.begin(), listeners_.end(),
                              [cookie](const Listener& l) { return l.cookie == cookie; });
    if (cookie <= 0 || found == listeners_.end())
        return 0;
    listeners_.erase(found);
    // From another thread, wait for a call of this listener that is under
    // way; on the delivery thread that call is the caller itself.
    if (!OnDeliveryThreadLocked())
        callDone_.wait(lock, [&] { return callingCookie_ != cookie; });
    return 1;
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

// Calls the listeners one by one without holding the lock, so that they may
// post, subscribe and unsubscribe. Each step looks the next listener up
// afresh: one removed meanwhile is skipped, one added meanwhile is called.
void Bus::Deliver(std::unique_lock<std::mutex>& lock, const Message& message)
{
    int lastCookie = 0;
    for (;;) {
        auto next = std::find_if(listeners_.begin(), listeners_.end(),
                                 [lastCookie](const Listener& l) { return l.cookie > lastCookie; });
        if (next == listeners_.end())
            return;
        Listener listener = *next;
        lastCookie = listener.cookie;
        callingCookie_ = listener.cookie;
        lock.unlock();
        try {
            listener.callback(message.message, message.wParam, message.lParam, listener.context);
        } catch (...) {
            // A listener's fault must not end the delivery thread.
        }
        lock.lock();
        callingCookie_ = 0;
        callDone_.notify_all();
    }
}

}  // namespace

int OpInit(void) { return TheBus().Init(); }

int OpExit(void) { return TheBus().Exit(); }

int TPostMessage(unsigned long message, unsigned int wParam, long lParam)
{
    return TheBus().Post({message, wParam, lParam});
}

int OpSubscribe(TBusListener listener, void* context) { return TheBus().Subscribe(listener, context); }

int OpUnsubscribe(int cookie) { return TheBus().Unsubscribe(cookie); }
