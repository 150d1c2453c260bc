// ostel.dll - the in-process message bus.
//
// The shell starts the bus once at start-up (OpInit) and stops it at shutdown
// (OpExit), after every plugin was unloaded. Posting is asynchronous: a posted
// message is queued and delivered, in posting order, to every subscriber on
// the bus's own delivery thread. Posting before OpInit or after OpExit is
// refused with 0.
//
// Messages the shell posts:
//   0x8069, wParam 0            all plugins are loaded
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

// Observing the bus. A listener is called on the delivery thread for every
// message, in subscription order, with the context given at subscription; it
// must not block for long, and never on a thread that is waiting in
// OpUnsubscribe for this listener.
typedef void(__cdecl* TBusListener)(unsigned long message, unsigned int wParam, long lParam,
                                    void* context);

// Adds a listener (allowed before OpInit). Returns a cookie greater than 0, or 0
// when the listener is null. A listener added while a message is being
// delivered receives that message too.
OSTEL_API int OpSubscribe(TBusListener listener, void* context);

// Removes the listener of that cookie; once it returns 1, the listener is not
// called again, so its context may be freed. From another thread it waits for
// a call of that listener under way to return. Inside a listener (any one,
// itself included) it takes effect at once: the listener removed gets no
// further call, not even for the message being delivered. Returns 1 when
// removed, 0 for an unknown cookie.
OSTEL_API int OpUnsubscribe(int cookie);
