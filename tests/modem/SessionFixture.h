// What the session tests share: a session on the in-process simulated modem
// with short time limits, a recorder of its bus posts and log lines, and
// stored-message PDUs made to order.
#pragma once

#include "marvik/Session.h"
#include "tests/support/SimulatedModem.h"
#include "tests/support/SimulatedPort.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sessiontest {

struct Post {
    unsigned long message;
    unsigned wParam;
    long lParam;
};

// Everything the session posted and logged, with waits for what a test
// expects to come (bounded: a missing event fails the test, it never hangs).
class Recorder {
public:
    void Add(const Post& post)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            posts_.push_back(post);
        }
        changed_.notify_all();
    }
    void AddLog(const std::wstring& line)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            log_.push_back(line);
        }
        changed_.notify_all();
    }
    std::vector<Post> Posts() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return posts_;
    }
    // Bits of every MODEM_BUS_STATUS post so far, or-ed.
    unsigned StatusBits() const
    {
        unsigned bits = 0;
        for (const Post& post : Posts())
            if (post.message == MODEM_BUS_STATUS)
                bits |= post.wParam;
        return bits;
    }
    bool Logged(const std::wstring& part) const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const std::wstring& line : log_)
            if (line.find(part) != std::wstring::npos)
                return true;
        return false;
    }
    void Clear()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        posts_.clear();
        log_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Post> posts_;
    std::vector<std::wstring> log_;
};

// Waits up to limitMs for condition, looking every few milliseconds.
inline bool Eventually(const std::function<bool()>& condition, unsigned limitMs = 10000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        Sleep(5);
    }
    return true;
}

// Short limits so that three timeouts take a second, and a refresh that
// comes often enough for changes to show soon.
inline marvik::SessionTimings TestTimings()
{
    marvik::SessionTimings timings;
    timings.commandMs = 400;
    timings.probeMs = 300;
    timings.refreshMs = 150;
    timings.lookAgainMs = 60000;  // tests that want the periodic look set it
    timings.promptMs = 400;
    timings.sendMs = 1000;
    timings.readSliceMs = 20;
    return timings;
}

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ports = std::make_unique<modemsim::SimulatedPortProvider>(modem, L"COM5", silentPorts);
    }
    void TearDown() override
    {
        if (session)
            session->Stop();
    }

    void StartSession(const std::wstring& port = L"COM5", marvik::SessionTimings timings = TestTimings())
    {
        session = std::make_unique<marvik::Session>(
            *ports, [this](unsigned long m, unsigned w, long l) { recorder.Add(Post{m, w, l}); },
            [this](const std::wstring& line) { recorder.AddLog(line); }, timings);
        session->Start(port);
    }
    TModemStatus Status() const
    {
        TModemStatus status{};
        session->ReadStatus(status);
        return status;
    }
    bool WaitPresent(bool present = true)
    {
        return Eventually([&] { return (Status().present != 0) == present; });
    }
    // Present with the SIM's state and the network read.
    bool WaitReady()
    {
        return Eventually([&] {
            const TModemStatus s = Status();
            return s.present && s.sim != MODEM_SIM_UNKNOWN && s.registration != MODEM_REG_UNKNOWN;
        });
    }
    size_t CountCommands(const std::string& command) const
    {
        size_t count = 0;
        for (const std::string& c : modem.Commands())
            count += c == command;
        return count;
    }

    std::vector<std::wstring> silentPorts;
    modemsim::SimulatedModem modem;
    std::unique_ptr<modemsim::SimulatedPortProvider> ports;
    Recorder recorder;
    std::unique_ptr<marvik::Session> session;
};

// An SMS-DELIVER PDU (TS 23.040 9.2.2.1) as a modem lists it, without a
// service centre address ("00"): from an international number, UCS2 text,
// time stamp 2024-03-15 12:30:45 +01:00, and with total > 1 a concatenation
// header (IEI 0x00, 8-bit reference).
inline std::string DeliverPdu(const std::string& digits, const std::wstring& text, int reference = 0, int total = 1,
                              int part = 1)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string hex = "00";  // no service centre address
    auto octet = [&](int value) {
        hex += kHex[(value >> 4) & 0xF];
        hex += kHex[value & 0xF];
    };
    const bool concatenated = total > 1;
    octet(0x04 | (concatenated ? 0x40 : 0));  // SMS-DELIVER, no more messages, UDHI
    octet(static_cast<int>(digits.size()));
    octet(0x91);  // international
    for (size_t i = 0; i < digits.size(); i += 2) {
        const int low = digits[i] - '0';
        const int high = i + 1 < digits.size() ? digits[i + 1] - '0' : 0xF;
        octet(high << 4 | low);
    }
    octet(0x00);  // TP-PID
    octet(0x08);  // TP-DCS: UCS2
    for (const char* pair : {"42", "30", "51", "21", "03", "54", "40"})  // swapped semi-octets
        hex += pair;
    const int header = concatenated ? 6 : 0;
    octet(header + 2 * static_cast<int>(text.size()));
    if (concatenated) {
        octet(0x05);
        octet(0x00);
        octet(0x03);
        octet(reference);
        octet(total);
        octet(part);
    }
    for (const wchar_t c : text) {
        octet(c >> 8);
        octet(c & 0xFF);
    }
    return hex;
}

}  // namespace sessiontest
