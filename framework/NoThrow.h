// The guard of every function Kivra.exe exports and of the framework's window
// and dialog procedures: nothing thrown inside may cross the module boundary
// into a plugin, which would meet a foreign C++ runtime (or none), nor leave
// a window procedure into the system. The guarded body's answer is returned;
// anything thrown answers the failure value instead.
#pragma once

#include <utility>

namespace kivra {

//     return NoThrow(0, [&] { return registry->CallService(service, param); });
template <typename Result, typename Body>
Result NoThrow(Result failure, Body&& body) noexcept
{
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        return failure;
    }
}

}  // namespace kivra
