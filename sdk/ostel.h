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

// Starts the bus. Returns 1; a second OpInit while running also returns 1.
OSTEL_API int OpInit(void);

// Stops the bus: every message posted before the call is delivered first,
// then the delivery thread ends. Returns 1, or 0 when the bus was not running.
OSTEL_API int OpExit(void);

// Queues (message, wParam, lParam) for delivery. Returns 1 when queued, 0 when
// the bus is not running.
OSTEL_API int TPostMessage(unsigned long message, unsigned int wParam, long lParam);

// Observing the bus. A listener is called on the delivery thread for every
// message, with the context given at subscription; it must not block for long.
typedef void(__cdecl* TBusListener)(unsigned long message, unsigned int wParam, long lParam,
                                    void* context);

// Adds a listener (allowed before OpInit). Returns a cookie greater than 0, or 0
// when the listener is null.
OSTEL_API int OpSubscribe(TBusListener listener, void* context);

// Removes the listener of that cookie; once it returns, the listener is not
// called again. Returns 1 when removed, 0 for an unknown cookie.
OSTEL_API int OpUnsubscribe(int cookie);
