// ostel.dll - the in-process message bus.
//
// The shell starts the bus once at start-up (OpInit) and stops it at shutdown
// (OpExit), after every plugin was unloaded. Posting is asynchronous: a posted
// message is queued and delivered, in posting order, to every subscriber, on
// the bus's own delivery thread or, for listeners that ask for it, on their
// own thread (see "Observing the bus"). Posting before OpInit or after OpExit
// is refused with 0.
//
// Messages the shell posts:
//   0x8069, wParam 0            all plugins are loaded
//   0x8069, wParam 1            the main window is up: shown, painted and idle
//                               for the first time. Work the user need not
//                               wait for before the window shows (filling a
//                               hidden panel, starting a device) belongs here.
//   0x8069, wParam 0x8000, data a device arrived (lParam: the event's data)
//   0x0218, event, data         power events 0, 4, 7 and 18 (WM_POWERBROADCAST)
#pragma once

#if defined(KIVRA_BUILDING_OSTEL)
#define OSTEL_API __declspec(dllexport)
#else
#define OSTEL_API __declspec(dllimport)
#endif

// Every function may be called from any thread.

// Starts the bus. Returns 1; a second OpInit while running also returns 1.
// After OpExit the bus can be started again. Returns 0 when no delivery thread
// could be started, or when called from a listener while the bus drains.
OSTEL_API int OpInit(void);

// Stops the bus: posting is refused from the moment of the call, every message
// posted before it is delivered, then the delivery thread ends. Returns 1, or
// 0 when the bus was not running. From inside a listener it is refused with 0
// (the delivery thread cannot wait for itself).
OSTEL_API int OpExit(void);

// Queues (message, wParam, lParam) for delivery. Returns 1 when queued, 0 when
// the bus is not running (before OpInit, after or during OpExit) or when
// 100,000 messages are already waiting. Listeners may post.
OSTEL_API int TPostMessage(unsigned long message, unsigned int wParam, long lParam);

// Observing the bus.
//
// Which thread calls a listener, and what it may do there:
//  - OpSubscribe: the bus's own delivery thread. The shell's registry, its
//    configuration and its windows belong to the user-interface thread, so a
//    listener of this kind must not call services, PluginMessageBox,
//    TranslateText or anything of the shell, nor touch the plugin's own
//    windows except by PostMessage. It may post on the bus, subscribe and
//    unsubscribe, and use its own data under its own lock. It must not block
//    for long: every other listener waits meanwhile.
//  - OpSubscribeOnThisThread: the thread that subscribed, through its message
//    loop. Subscribed from LoadPlugin, that is the user-interface thread, and
//    there the listener may do what a service handler may do: call services,
//    show windows, use the shell's functions.
// Messages reach each listener in posting order.
//
// A listener's code must stay loaded while it is subscribed. The shell takes
// care of plugins that forget: before it frees a plugin library (at shutdown,
// or when the plugin is refused) it removes every listener whose code lies in
// that library (OpUnsubscribeModule), so none is called afterwards.
typedef void(__cdecl* TBusListener)(unsigned long message, unsigned int wParam, long lParam,
                                    void* context);

// Adds a listener called on the delivery thread (allowed before OpInit).
// Returns a cookie greater than 0, or 0 when the listener is null. A listener
// added while a message is being delivered receives that message too.
OSTEL_API int OpSubscribe(TBusListener listener, void* context);

// Adds a listener called on the calling thread, from its message loop, once
// per message (allowed before OpInit). The thread must run a message loop; a
// thread that ends loses the messages still waiting for it. Returns a cookie
// greater than 0, or 0 when the listener is null or no window could be made.
OSTEL_API int OpSubscribeOnThisThread(TBusListener listener, void* context);

// Removes the listener of that cookie; once it returns 1, the listener is not
// called again, so its context may be freed. From another thread than the one
// calling it, it waits for a call of that listener under way to return
// (answering messages sent to the waiting thread's windows meanwhile). Inside
// a listener (any one, itself included) it takes effect at once: the listener
// removed gets no further call, not even for the message being delivered.
// Returns 1 when removed, 0 for an unknown cookie.
OSTEL_API int OpUnsubscribe(int cookie);

// Removes every listener whose code lies in the library module (an HMODULE),
// waiting as OpUnsubscribe does. Returns how many were removed.
OSTEL_API int OpUnsubscribeModule(void* module);
