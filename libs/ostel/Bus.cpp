#include "ostel.h"
// Placeholder while the bus is written.
int OpInit(void) { return 1; }
int OpExit(void) { return 1; }
int TPostMessage(unsigned long, unsigned int, long) { return 0; }
int OpSubscribe(TBusListener, void*) { return 0; }
int OpUnsubscribe(int) { return 0; }
