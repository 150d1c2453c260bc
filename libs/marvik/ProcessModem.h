// The process's one modem service as marvik.dll's two halves share it: the C
// functions (ModemApi.cpp) and the class Modem (Modem.cpp).
#pragma once

#include <string>

namespace marvik {

// A link the session made (dial-up or simulated) is up.
bool ProcessLinkUp();
// The demo product allows its simulated link (tools\simulated-link beside
// marvik.dll).
bool ProcessAllowsSimulatedLink();

}  // namespace marvik
