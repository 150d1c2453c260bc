#include "ostel.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct Received {
    unsigned long message;
    unsigned int wParam;
    long lParam;
    bool operator==(const Received&) const = default;
};

// Collects what a listener was given, and lets the test wait for it.
class Recorder {
public:
    static void __cdecl Listen(unsigned long message, unsigned int wParam, long lParam, void* context)
    {
        static_cast<Recorder*>(context)->Add({message, wParam, lParam});
    }
    void Add(const Received& r)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        got_.push_back(r);
        changed_.notify_all();
    }
    bool WaitFor(size_t count)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return got_.size() >= count; });
    }
    std::vector<Received> Got()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return got_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Received> got_;
};

// Every test leaves the bus stopped, as the process found it.
class BusTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        OpExit();
        for (int cookie : cookies_)
            OpUnsubscribe(cookie);
    }
    int Subscribe(TBusListener listener, void* context)
    {
        int cookie = OpSubscribe(listener, context);
        cookies_.push_back(cookie);
        return cookie;
    }
    std::vector<int> cookies_;
};

TEST_F(BusTest, PostingIsRefusedOutsideInitAndExit)
{
    Recorder recorder;
    Subscribe(&Recorder::Listen, &recorder);
    EXPECT_EQ(TPostMessage(1, 0, 0), 0) << "before OpInit";
    EXPECT_EQ(OpExit(), 0) << "nothing to stop";

    EXPECT_EQ(OpInit(), 1);
    EXPECT_EQ(OpInit(), 1) << "a second start keeps the running bus";
    EXPECT_EQ(TPostMessage(2, 0, 0), 1);
    EXPECT_EQ(OpExit(), 1);
    EXPECT_EQ(OpExit(), 0) << "a second stop does nothing";
    EXPECT_EQ(TPostMessage(3, 0, 0), 0) << "after OpExit";

    // The bus can be started again and delivers as before.
    EXPECT_EQ(OpInit(), 1);
    EXPECT_EQ(TPostMessage(4, 0, 0), 1);
    EXPECT_EQ(OpExit(), 1);
    EXPECT_EQ(recorder.Got(), (std::vector<Received>{{2, 0, 0}, {4, 0, 0}}));
}

TEST_F(BusTest, DeliversEveryMessageInPostingOrderWithItsValues)
{
    Recorder first, second;
    Subscribe(&Recorder::Listen, &first);
    Subscribe(&Recorder::Listen, &second);
    ASSERT_EQ(OpInit(), 1);
    std::vector<Received> posted;
    posted.push_back({0x8069, 0, 0});
    posted.push_back({0x8069, 0x8000, 0x12345678});
    posted.push_back({0x0218, 18, -1});
    for (unsigned i = 0; i < 1000; ++i)
        posted.push_back({0x0400 + i, i * 3, -static_cast<long>(i)});
    for (const Received& r : posted)
        ASSERT_EQ(TPostMessage(r.message, r.wParam, r.lParam), 1);
    ASSERT_EQ(OpExit(), 1);
    EXPECT_EQ(first.Got(), posted);
    EXPECT_EQ(second.Got(), posted);
}

void __cdecl SlowListener(unsigned long message, unsigned int, long, void* context)
{
    Sleep(2);
    static_cast<std::vector<unsigned long>*>(context)->push_back(message);
}

TEST_F(BusTest, ExitDeliversEverythingPostedBeforeIt)
{
    std::vector<unsigned long> got;  // written by the delivery thread only
    Subscribe(&SlowListener, &got);
    ASSERT_EQ(OpInit(), 1);
    for (unsigned long i = 0; i < 100; ++i)
        ASSERT_EQ(TPostMessage(i, 0, 0), 1);
    ASSERT_EQ(OpExit(), 1);
    // OpExit returned: the delivery thread has ended and saw all of them.
    ASSERT_EQ(got.size(), 100u);
    for (unsigned long i = 0; i < 100; ++i)
        EXPECT_EQ(got[i], i);
}

TEST_F(BusTest, PostsFromSeveralThreadsAllArriveInEachThreadsOrder)
{
    Recorder recorder;
    Subscribe(&Recorder::Listen, &recorder);
    ASSERT_EQ(OpInit(), 1);
    constexpr unsigned kThreads = 4, kEach = 500;
    std::atomic<unsigned> refused{0};
    std::vector<std::thread> posters;
    for (unsigned t = 0; t < kThreads; ++t)
        posters.emplace_back([t, &refused] {
            for (unsigned i = 0; i < kEach; ++i)
                if (TPostMessage(t, i, 0) != 1)
                    ++refused;
        });
    for (std::thread& p : posters)
        p.join();
    ASSERT_EQ(OpExit(), 1);
    EXPECT_EQ(refused.load(), 0u);
    std::vector<Received> got = recorder.Got();
    ASSERT_EQ(got.size(), kThreads * kEach);
    std::vector<unsigned> next(kThreads, 0);
    for (const Received& r : got) {
        ASSERT_LT(r.message, kThreads);
        EXPECT_EQ(r.wParam, next[r.message]++) << "thread " << r.message;
    }
}

TEST_F(BusTest, SubscribeAndUnsubscribe)
{
    EXPECT_EQ(OpSubscribe(nullptr, nullptr), 0);
    EXPECT_EQ(OpUnsubscribe(0), 0);
    EXPECT_EQ(OpUnsubscribe(-3), 0);
    EXPECT_EQ(OpUnsubscribe(999999), 0);

    Recorder kept, removed;
    int a = Subscribe(&Recorder::Listen, &kept);
    int b = Subscribe(&Recorder::Listen, &removed);
    EXPECT_GT(a, 0);
    EXPECT_GT(b, 0);
    EXPECT_NE(a, b);

    ASSERT_EQ(OpInit(), 1);
    ASSERT_EQ(TPostMessage(1, 0, 0), 1);
    ASSERT_TRUE(removed.WaitFor(1));
    EXPECT_EQ(OpUnsubscribe(b), 1);
    EXPECT_EQ(OpUnsubscribe(b), 0) << "already gone";
    ASSERT_EQ(TPostMessage(2, 0, 0), 1);
    ASSERT_EQ(OpExit(), 1);
    EXPECT_EQ(kept.Got(), (std::vector<Received>{{1, 0, 0}, {2, 0, 0}}));
    EXPECT_EQ(removed.Got(), (std::vector<Received>{{1, 0, 0}}));
}

// Listeners that change the bus from inside a delivery.
struct Reentrant {
    int selfCookie = 0;    // removes itself on its first message
    int victimCookie = 0;  // removed by "remover" before it is called
    int selfCalls = 0, victimCalls = 0, removerCalls = 0;
    int exitResult = -1;
    int postResult = -1;
};

void __cdecl SelfRemover(unsigned long, unsigned int, long, void* context)
{
    auto* r = static_cast<Reentrant*>(context);
    ++r->selfCalls;
    OpUnsubscribe(r->selfCookie);
}

void __cdecl Remover(unsigned long message, unsigned int, long, void* context)
{
    auto* r = static_cast<Reentrant*>(context);
    ++r->removerCalls;
    OpUnsubscribe(r->victimCookie);
    if (message == 1) {
        r->exitResult = OpExit();           // cannot stop the bus from its own thread
        r->postResult = TPostMessage(2, 0, 0);  // but may post
    }
}

void __cdecl Victim(unsigned long, unsigned int, long, void* context) { ++static_cast<Reentrant*>(context)->victimCalls; }

TEST_F(BusTest, ListenersMayUnsubscribePostAndAreRefusedExitInsideADelivery)
{
    Reentrant r;
    Recorder done;
    r.selfCookie = Subscribe(&SelfRemover, &r);
    Subscribe(&Remover, &r);
    r.victimCookie = Subscribe(&Victim, &r);
    Subscribe(&Recorder::Listen, &done);
    ASSERT_EQ(OpInit(), 1);
    ASSERT_EQ(TPostMessage(1, 0, 0), 1);
    ASSERT_TRUE(done.WaitFor(2)) << "the message posted by the listener arrives too";
    ASSERT_EQ(OpExit(), 1);
    EXPECT_EQ(r.selfCalls, 1);
    EXPECT_EQ(r.removerCalls, 2);
    EXPECT_EQ(r.victimCalls, 0) << "removed before its turn on the first message";
    EXPECT_EQ(r.exitResult, 0);
    EXPECT_EQ(r.postResult, 1);
    EXPECT_EQ(done.Got(), (std::vector<Received>{{1, 0, 0}, {2, 0, 0}}));
}

struct Busy {
    HANDLE entered;
    std::atomic<bool> finished{false};
};

void __cdecl BusyListener(unsigned long, unsigned int, long, void* context)
{
    auto* busy = static_cast<Busy*>(context);
    SetEvent(busy->entered);
    Sleep(300);
    busy->finished = true;
}

TEST_F(BusTest, UnsubscribeFromAnotherThreadWaitsForTheCallUnderWay)
{
    Busy busy;
    busy.entered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(busy.entered, nullptr);
    int cookie = Subscribe(&BusyListener, &busy);
    ASSERT_EQ(OpInit(), 1);
    ASSERT_EQ(TPostMessage(7, 0, 0), 1);
    ASSERT_EQ(WaitForSingleObject(busy.entered, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(OpUnsubscribe(cookie), 1);
    EXPECT_TRUE(busy.finished) << "the listener's context could be freed now";
    ASSERT_EQ(OpExit(), 1);
    CloseHandle(busy.entered);
}

// Listeners that ask for it are called on their own thread, from its message
// loop, in posting order; the others on the delivery thread.
struct ThreadSeen {
    std::mutex mutex;
    std::vector<std::pair<unsigned long, DWORD>> calls;  // message, thread
};

void __cdecl NoteThread(unsigned long message, unsigned int, long, void* context)
{
    auto* seen = static_cast<ThreadSeen*>(context);
    std::lock_guard<std::mutex> lock(seen->mutex);
    seen->calls.emplace_back(message, GetCurrentThreadId());
}

TEST_F(BusTest, ListenersOnTheirOwnThreadAreCalledThereInPostingOrder)
{
    ThreadSeen here, delivery;
    const int hereCookie = OpSubscribeOnThisThread(&NoteThread, &here);
    ASSERT_GT(hereCookie, 0);
    cookies_.push_back(hereCookie);
    Subscribe(&NoteThread, &delivery);
    ASSERT_EQ(OpInit(), 1);
    for (unsigned long m = 1; m <= 50; ++m)
        ASSERT_EQ(TPostMessage(m, 0, 0), 1);
    ASSERT_EQ(OpExit(), 1);
    EXPECT_TRUE(here.calls.empty()) << "nothing is called before this thread's loop runs";
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
    ASSERT_EQ(here.calls.size(), 50u);
    ASSERT_EQ(delivery.calls.size(), 50u);
    for (unsigned long m = 1; m <= 50; ++m) {
        EXPECT_EQ(here.calls[m - 1], std::make_pair(m, GetCurrentThreadId()));
        EXPECT_EQ(delivery.calls[m - 1].first, m);
        EXPECT_NE(delivery.calls[m - 1].second, GetCurrentThreadId());
    }
}

TEST_F(BusTest, UnsubscribingALibraryRemovesEveryListenerWhoseCodeLiesInIt)
{
    ThreadSeen seen;
    Subscribe(&NoteThread, &seen);
    Subscribe(&NoteThread, &seen);
    EXPECT_EQ(OpUnsubscribeModule(GetModuleHandleW(L"kernel32.dll")), 0) << "no listener there";
    EXPECT_EQ(OpUnsubscribeModule(nullptr), 0);
    EXPECT_EQ(OpUnsubscribeModule(GetModuleHandleW(nullptr)), 2) << "both listeners live in this program";
    ASSERT_EQ(OpInit(), 1);
    ASSERT_EQ(TPostMessage(1, 0, 0), 1);
    ASSERT_EQ(OpExit(), 1);
    EXPECT_TRUE(seen.calls.empty());
}

// A listener that sends to a window of the thread that is removing it would
// wait for that thread as that thread waits for it; the removal answers it.
struct Sender {
    HANDLE entered;
    HWND window;
    LRESULT answer = 0;
};

void __cdecl SendingListener(unsigned long, unsigned int, long, void* context)
{
    auto* sender = static_cast<Sender*>(context);
    SetEvent(sender->entered);
    sender->answer = SendMessageW(sender->window, WM_GETTEXTLENGTH, 0, 0);
}

TEST_F(BusTest, UnsubscribeAnswersMessagesTheListenerSendsMeanwhile)
{
    Sender sender;
    sender.entered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    sender.window = CreateWindowExW(0, L"STATIC", L"answered", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(sender.window, nullptr);
    const int cookie = Subscribe(&SendingListener, &sender);
    ASSERT_EQ(OpInit(), 1);
    ASSERT_EQ(TPostMessage(1, 0, 0), 1);
    ASSERT_EQ(WaitForSingleObject(sender.entered, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(OpUnsubscribe(cookie), 1);
    EXPECT_EQ(sender.answer, 8) << "the listener's call ended with its answer";
    ASSERT_EQ(OpExit(), 1);
    DestroyWindow(sender.window);
    CloseHandle(sender.entered);
}

}  // namespace
