// SimulatedPort: the in-process transport of a SimulatedModem, as the ports
// marvik's session opens. The provider is the "cable": unplugged, every open
// port fails at once and no port opens until it is plugged in again.
#pragma once

#include "SimulatedModem.h"
#include "marvik/Port.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace modemsim {

class SimulatedPortProvider final : public marvik::PortProvider {
public:
    // The modem answers on port name; silentPorts are listed before it and
    // open, but nothing answers there (other devices' ports).
    explicit SimulatedPortProvider(SimulatedModem& modem, std::wstring name = L"COM5",
                                   std::vector<std::wstring> silentPorts = {});
    ~SimulatedPortProvider() override;

    std::unique_ptr<marvik::Port> Open(const std::wstring& name) override;
    std::vector<std::wstring> List() override;

    void Unplug();
    void Plug();
    // Hand the host at most this many bytes per read (1: byte by byte).
    void SetReadChunk(size_t bytes);
    int OpenCount() const;
    std::vector<std::wstring> Opened() const;  // every name opened, in order

    // Used by the ports.
    struct Wire;

private:
    SimulatedModem& modem_;
    std::wstring name_;
    std::vector<std::wstring> silentPorts_;
    std::shared_ptr<Wire> wire_;
};

}  // namespace modemsim
