// AtChannel: one open port to a modem, its reader thread, and commands sent
// over it one at a time. The reader thread turns bytes into lines (AtLines):
// unsolicited reports are set aside for the session, everything else answers
// the command under way.
#pragma once

#include "AtLines.h"
#include "Port.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace marvik {

struct AtReply {
    enum class Outcome { Final, Prompt, Timeout, PortFailed, Interrupted };
    Outcome outcome = Outcome::Timeout;
    AtLine final;                  // the final result, for Outcome::Final
    std::vector<AtLine> answers;   // the answer lines before it
    bool Ok() const { return outcome == Outcome::Final && final.final == AtFinal::Ok; }
};

class AtChannel {
public:
    // Starts reading port at once. onReport is called on the reader thread
    // whenever a report was set aside or the port failed; it must only wake
    // the session up.
    AtChannel(std::unique_ptr<Port> port, std::function<void()> onReport, unsigned readSliceMs = 100);
    AtChannel(const AtChannel&) = delete;
    AtChannel& operator=(const AtChannel&) = delete;
    ~AtChannel();

    // Sends command and CR, and waits up to timeoutMs for its final result,
    // or with expectPrompt also for the "> " prompt.
    AtReply Exchange(std::string_view command, unsigned timeoutMs, bool expectPrompt = false);
    // After the prompt: sends data and Ctrl-Z, and waits for the final result.
    AtReply SendAfterPrompt(std::string_view data, unsigned timeoutMs);
    // Ends a prompt without sending (ESC).
    void CancelPrompt();

    bool HasReports() const;
    std::vector<AtLine> TakeReports();
    // Waits up to timeoutMs for a report starting with prefix and takes it
    // out; other reports stay for TakeReports.
    bool WaitForReport(std::string_view prefix, unsigned timeoutMs, AtLine& out);

    bool Failed() const;
    // Makes a wait under way return (Outcome::Interrupted) and every later
    // one at once: the session is stopping.
    void Interrupt();
    // Stops the reader and closes the port; the destructor does it too.
    void Close();

private:
    void ReadLoop();
    AtReply Await(unsigned timeoutMs, bool expectPrompt);
    void MarkFailed();

    std::unique_ptr<Port> port_;
    std::function<void()> onReport_;
    unsigned readSliceMs_;
    std::mutex splitterMutex_;
    AtLineSplitter splitter_;

    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<AtLine> lines_;     // answers, finals, prompts
    std::deque<AtLine> reports_;   // unsolicited reports
    bool failed_ = false;
    bool interrupted_ = false;
    bool stopping_ = false;
    std::thread reader_;
};

}  // namespace marvik
