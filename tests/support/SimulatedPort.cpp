// SimulatedPort: a SimulatedModem's bytes, with their delays, as a marvik Port.
#include "SimulatedPort.h"

#include <algorithm>

namespace modemsim {

using Clock = std::chrono::steady_clock;

struct SimulatedPortProvider::Wire {
    std::mutex mutex;
    std::condition_variable arrived;
    SimulatedModem* modem = nullptr;
    bool plugged = true;
    unsigned generation = 0;  // a port of an older generation was unplugged
    size_t readChunk = 4096;
    std::deque<std::pair<Clock::time_point, std::string>> pending;  // bytes for the host, when due
    Clock::time_point lastDue = Clock::now();
    int opens = 0;
    std::vector<std::wstring> opened;

    // Moves what the modem answered into pending (the caller holds mutex).
    void Collect()
    {
        for (OutputPiece& piece : modem->TakeOutput()) {
            const Clock::time_point now = Clock::now();
            const Clock::time_point after = std::max(now, lastDue);
            lastDue = after + std::chrono::milliseconds(piece.delayMs);
            pending.emplace_back(lastDue, std::move(piece.bytes));
        }
        if (modem->HangUpWanted()) {
            plugged = false;
            ++generation;
            pending.clear();
        }
    }
};

namespace {

class SimulatedPort final : public marvik::Port {
public:
    SimulatedPort(std::shared_ptr<SimulatedPortProvider::Wire> wire, bool silent)
        : wire_(std::move(wire)), silent_(silent)
    {
        generation_ = wire_->generation;
    }

    bool Write(std::string_view bytes) override
    {
        {
            std::lock_guard<std::mutex> lock(wire_->mutex);
            if (!Alive())
                return false;
        }
        if (silent_)
            return true;
        wire_->modem->Receive(bytes);  // calls back onOutput, which collects
        std::lock_guard<std::mutex> lock(wire_->mutex);
        return Alive() || !closed_;  // a hang-up at this command shows at the next read
    }

    int Read(char* buffer, int capacity, unsigned timeoutMs) override
    {
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        std::unique_lock<std::mutex> lock(wire_->mutex);
        for (;;) {
            if (!Alive())
                return -1;
            const Clock::time_point now = Clock::now();
            if (!silent_ && !wire_->pending.empty() && wire_->pending.front().first <= now) {
                std::string& bytes = wire_->pending.front().second;
                const size_t count = std::min({bytes.size(), static_cast<size_t>(capacity), wire_->readChunk});
                std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count), buffer);
                bytes.erase(0, count);
                if (bytes.empty())
                    wire_->pending.pop_front();
                return static_cast<int>(count);
            }
            if (now >= deadline)
                return 0;
            Clock::time_point until = deadline;
            if (!silent_ && !wire_->pending.empty())
                until = std::min(until, wire_->pending.front().first);
            wire_->arrived.wait_until(lock, until);
        }
    }

    void Close() override
    {
        std::lock_guard<std::mutex> lock(wire_->mutex);
        closed_ = true;
        wire_->arrived.notify_all();
    }

private:
    bool Alive() const { return !closed_ && wire_->plugged && wire_->generation == generation_; }

    std::shared_ptr<SimulatedPortProvider::Wire> wire_;
    bool silent_;
    unsigned generation_ = 0;
    bool closed_ = false;
};

}  // namespace

SimulatedPortProvider::SimulatedPortProvider(SimulatedModem& modem, std::wstring name,
                                             std::vector<std::wstring> silentPorts)
    : modem_(modem), name_(std::move(name)), silentPorts_(std::move(silentPorts)), wire_(std::make_shared<Wire>())
{
    wire_->modem = &modem_;
    std::weak_ptr<Wire> weak = wire_;
    modem_.SetOnOutput([weak] {
        if (std::shared_ptr<Wire> wire = weak.lock()) {
            std::lock_guard<std::mutex> lock(wire->mutex);
            wire->Collect();
            wire->arrived.notify_all();
        }
    });
}

SimulatedPortProvider::~SimulatedPortProvider() { modem_.SetOnOutput(nullptr); }

std::unique_ptr<marvik::Port> SimulatedPortProvider::Open(const std::wstring& name)
{
    std::lock_guard<std::mutex> lock(wire_->mutex);
    const bool silent = std::find(silentPorts_.begin(), silentPorts_.end(), name) != silentPorts_.end();
    if (!silent && (name != name_ || !wire_->plugged))
        return nullptr;
    ++wire_->opens;
    wire_->opened.push_back(name);
    if (!silent) {
        wire_->pending.clear();  // a new open starts with an empty line
        modem_.TakeOutput();
    }
    return std::make_unique<SimulatedPort>(wire_, silent);
}

std::vector<std::wstring> SimulatedPortProvider::List()
{
    std::vector<std::wstring> names = silentPorts_;
    names.push_back(name_);
    return names;
}

void SimulatedPortProvider::Unplug()
{
    std::lock_guard<std::mutex> lock(wire_->mutex);
    wire_->plugged = false;
    ++wire_->generation;
    wire_->pending.clear();
    wire_->arrived.notify_all();
}

void SimulatedPortProvider::Plug()
{
    std::lock_guard<std::mutex> lock(wire_->mutex);
    wire_->plugged = true;
    modem_.TakeOutput();
}

void SimulatedPortProvider::SetReadChunk(size_t bytes)
{
    std::lock_guard<std::mutex> lock(wire_->mutex);
    wire_->readChunk = bytes == 0 ? 1 : bytes;
}

int SimulatedPortProvider::OpenCount() const
{
    std::lock_guard<std::mutex> lock(wire_->mutex);
    return wire_->opens;
}

std::vector<std::wstring> SimulatedPortProvider::Opened() const
{
    std::lock_guard<std::mutex> lock(wire_->mutex);
    return wire_->opened;
}

}  // namespace modemsim
