// AtChannel: a port, its reader thread and one command at a time.
#include "AtChannel.h"

#include <chrono>

namespace marvik {

namespace {

// Lines kept while nobody takes them: a modem that floods its port with
// reports or garbage costs this much memory at most (the oldest go first).
constexpr size_t kMaxWaitingLines = 256;
constexpr size_t kReadChunk = 512;
constexpr char kCtrlZ = 0x1A;
constexpr char kEscape = 0x1B;

void PushBounded(std::deque<AtLine>& queue, AtLine&& line)
{
    if (queue.size() >= kMaxWaitingLines)
        queue.pop_front();
    queue.push_back(std::move(line));
}

}  // namespace

AtChannel::AtChannel(std::unique_ptr<Port> port, std::function<void()> onReport, unsigned readSliceMs)
    : port_(std::move(port)), onReport_(std::move(onReport)), readSliceMs_(readSliceMs)
{
    reader_ = std::thread([this] { ReadLoop(); });
}

AtChannel::~AtChannel() { Close(); }

void AtChannel::Close()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    if (port_)
        port_->Close();  // a pending read returns
    if (reader_.joinable())
        reader_.join();
    port_.reset();
}

void AtChannel::ReadLoop()
{
    char buffer[kReadChunk];
    std::vector<AtLine> lines;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_)
                return;
        }
        const int got = port_->Read(buffer, static_cast<int>(sizeof(buffer)), readSliceMs_);
        if (got < 0) {
            MarkFailed();
            return;
        }
        if (got == 0)
            continue;
        lines.clear();
        {
            std::lock_guard<std::mutex> lock(splitterMutex_);
            splitter_.Feed(std::string_view(buffer, static_cast<size_t>(got)), lines);
        }
        if (lines.empty())
            continue;
        bool report = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (AtLine& line : lines) {
                if (line.kind == AtLineKind::Unsolicited) {
                    PushBounded(reports_, std::move(line));
                    report = true;
                } else {
                    PushBounded(lines_, std::move(line));
                }
            }
        }
        arrived_.notify_all();
        if (report && onReport_)
            onReport_();
    }
}

void AtChannel::MarkFailed()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        failed_ = true;
    }
    arrived_.notify_all();
    if (onReport_)
        onReport_();
}

AtReply AtChannel::Exchange(std::string_view command, unsigned timeoutMs, bool expectPrompt)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.clear();  // late answers of a command that timed out
        if (failed_ || interrupted_) {
            AtReply reply;
            reply.outcome = failed_ ? AtReply::Outcome::PortFailed : AtReply::Outcome::Interrupted;
            return reply;
        }
    }
    {
        std::lock_guard<std::mutex> lock(splitterMutex_);
        splitter_.BeginCommand(command);
        splitter_.ExpectPrompt(expectPrompt);
    }
    std::string line(command);
    line += '\r';
    if (!port_->Write(line)) {
        MarkFailed();
        AtReply reply;
        reply.outcome = AtReply::Outcome::PortFailed;
        return reply;
    }
    return Await(timeoutMs, expectPrompt);
}

AtReply AtChannel::SendAfterPrompt(std::string_view data, unsigned timeoutMs)
{
    {
        std::lock_guard<std::mutex> lock(splitterMutex_);
        splitter_.BeginCommand(data);  // its echo, when echo is on
        splitter_.ExpectPrompt(false);
    }
    std::string bytes(data);
    bytes += kCtrlZ;
    if (!port_->Write(bytes)) {
        MarkFailed();
        AtReply reply;
        reply.outcome = AtReply::Outcome::PortFailed;
        return reply;
    }
    return Await(timeoutMs, false);
}

void AtChannel::CancelPrompt()
{
    if (!port_->Write(std::string(1, kEscape)))
        MarkFailed();
    std::lock_guard<std::mutex> lock(splitterMutex_);
    splitter_.EndCommand();
}

AtReply AtChannel::Await(unsigned timeoutMs, bool expectPrompt)
{
    AtReply reply;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        while (!lines_.empty()) {
            AtLine line = std::move(lines_.front());
            lines_.pop_front();
            if (line.kind == AtLineKind::Final) {
                reply.outcome = AtReply::Outcome::Final;
                reply.final = std::move(line);
                lock.unlock();
                std::lock_guard<std::mutex> splitterLock(splitterMutex_);
                splitter_.EndCommand();
                return reply;
            }
            if (line.kind == AtLineKind::Prompt && expectPrompt) {
                reply.outcome = AtReply::Outcome::Prompt;
                return reply;
            }
            reply.answers.push_back(std::move(line));
        }
        if (failed_) {
            reply.outcome = AtReply::Outcome::PortFailed;
            return reply;
        }
        if (interrupted_) {
            reply.outcome = AtReply::Outcome::Interrupted;
            return reply;
        }
        if (arrived_.wait_until(lock, deadline) == std::cv_status::timeout && lines_.empty() && !failed_ &&
            !interrupted_) {
            reply.outcome = AtReply::Outcome::Timeout;
            return reply;
        }
    }
}

bool AtChannel::HasReports() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return !reports_.empty() || failed_;
}

std::vector<AtLine> AtChannel::TakeReports()
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<AtLine> reports(std::make_move_iterator(reports_.begin()), std::make_move_iterator(reports_.end()));
    reports_.clear();
    return reports;
}

bool AtChannel::WaitForReport(std::string_view prefix, unsigned timeoutMs, AtLine& out)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        for (auto it = reports_.begin(); it != reports_.end(); ++it) {
            if (it->text.compare(0, prefix.size(), prefix) == 0) {
                out = std::move(*it);
                reports_.erase(it);
                return true;
            }
        }
        if (failed_ || interrupted_)
            return false;
        if (arrived_.wait_until(lock, deadline) == std::cv_status::timeout) {
            // one last look: the report may have come with the time-out
            for (auto it = reports_.begin(); it != reports_.end(); ++it) {
                if (it->text.compare(0, prefix.size(), prefix) == 0) {
                    out = std::move(*it);
                    reports_.erase(it);
                    return true;
                }
            }
            return false;
        }
    }
}

bool AtChannel::Failed() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return failed_;
}

void AtChannel::Interrupt()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        interrupted_ = true;
    }
    arrived_.notify_all();
}

}  // namespace marvik
