// ModemService: the C interface's checks, records and data link.
#include "ModemService.h"

#include "Pdu.h"
#include "Records.h"
#include "SerialPort.h"

#include <raserror.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace marvik {

namespace {

// The shell's device-arrival notice on the bus (0x8069 with wParam 0x8000).
constexpr unsigned long kShellNoticeMessage = 0x8069;
constexpr unsigned kDeviceArrivedCode = 0x8000;

constexpr size_t kMaxCredential = 256;  // RAS's user and password fields

Outcome Bad(const wchar_t* why) { return Outcome{MODEM_E_BAD_ARGUMENT, why}; }

std::wstring Text(const wchar_t* text) { return text ? std::wstring(text) : std::wstring(); }

// Copies text into a caller's buffer and gives its full length as the result.
Outcome TextResult(const std::wstring& text, wchar_t* buffer, int capacity)
{
    CopyField(buffer, static_cast<size_t>(capacity), text);
    return Outcome{static_cast<int>(text.size()), L""};
}

}  // namespace

bool SimulatedLinkAllowedIn(const std::wstring& libraryFolder)
{
    if (libraryFolder.empty())
        return false;
    const std::wstring path = libraryFolder + L"\\tools\\simulated-link";
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void SimulatedTraffic(unsigned long long elapsedMs, DWORD& received, DWORD& sent)
{
    // rate(t) = mean + swing * sin(2 pi t / period), in bytes per second; its
    // integral grows all the time, since the swing is below the mean.
    constexpr double kMeanBytesPerSecond = 100.0 * 1024;
    constexpr double kSwingBytesPerSecond = 40.0 * 1024;
    constexpr double kPeriodSeconds = 37.0;
    constexpr double kTwoPi = 6.283185307179586;
    constexpr double kUploadShare = 0.1;
    const double t = static_cast<double>(elapsedMs) / 1000.0;
    const double bytes = kMeanBytesPerSecond * t +
                         kSwingBytesPerSecond * kPeriodSeconds / kTwoPi * (1.0 - std::cos(kTwoPi * t / kPeriodSeconds));
    // The counters of a real link are 32-bit and wrap the same way.
    received = static_cast<DWORD>(static_cast<unsigned long long>(bytes));
    sent = static_cast<DWORD>(static_cast<unsigned long long>(bytes * kUploadShare));
}

int MessageId(const JoinedMessage& message)
{
    return message.indexes.empty() ? -1 : *std::min_element(message.indexes.begin(), message.indexes.end());
}

void FillMessageRecord(const JoinedMessage& message, TModemMessage& record)
{
    std::memset(&record, 0, sizeof(record));
    record.cbSize = sizeof(record);
    record.id = MessageId(message);
    record.status = message.status;
    CopyField(record.sender, message.sender);
    record.year = message.time.year;
    record.month = message.time.month;
    record.day = message.time.day;
    record.hour = message.time.hour;
    record.minute = message.time.minute;
    record.second = message.time.second;
    record.zoneQuarterHours = message.time.zoneQuarterHours;
    record.partsTotal = message.partsTotal;
    record.indexCount = static_cast<int>(std::min<size_t>(message.indexes.size(), MODEM_MAX_PARTS));
    for (int i = 0; i < record.indexCount; ++i)
        record.indexes[i] = message.indexes[static_cast<size_t>(i)];
    record.textLength = static_cast<int>(message.text.size());
    CopyField(record.text, message.text);
}

ModemService::ModemService(PortProvider& ports, RasApi& ras, Session::Poster post, Session::Logger log,
                           SessionTimings timings, bool simulatedLinkAllowed)
    : ports_(ports), ras_(ras), post_(std::move(post)), log_(std::move(log)), timings_(timings),
      simulatedLinkAllowed_(simulatedLinkAllowed), session_(ports_, post_, log_, timings_)
{
    session_.SetRefreshHook([this] { PollLink(); });
}

ModemService::~ModemService()
{
    Stop();
    std::lock_guard<std::mutex> lock(hangUpMutex_);
    if (hangUp_.joinable())
        hangUp_.join();
}

Outcome ModemService::Start(const wchar_t* port)
{
    std::wstring name;
    if (port != nullptr && port[0] != L'\0') {
        name = NormalPortName(port);
        if (name.empty())
            return Bad(L"not a COM port name");
    }
    std::lock_guard<std::mutex> lock(runMutex_);
    if (session_.Running()) {
        if (!name.empty() && name != session_.RequestedPort())
            return Outcome{MODEM_E_BUSY, L"the modem session runs on " + session_.RequestedPort()};
        return Outcome{};
    }
    session_.Start(name);
    running_.store(true, std::memory_order_release);
    return Outcome{};
}

Outcome ModemService::Stop()
{
    std::lock_guard<std::mutex> lock(runMutex_);
    running_.store(false, std::memory_order_release);
    session_.Stop();  // callers under way get "no modem"; the record it leaves says absent
    return Outcome{};
}

int ModemService::GetStatus(TModemStatus* status) const
{
    if (status == nullptr || status->cbSize < sizeof(TModemStatus))
        return MODEM_E_BAD_ARGUMENT;
    const DWORD size = status->cbSize;
    session_.ReadStatus(*status);  // absent, with the link, while stopped
    if (status->linkSimulated) {
        // Counted at each read, so the demo's speed graph moves every second,
        // not only at the session's refresh (nor never, without a modem).
        std::lock_guard<std::mutex> lock(mutex_);
        if (simulated_) {
            const unsigned long long elapsed = GetTickCount64() - simulatedSince_;
            status->linkSeconds = static_cast<DWORD>(elapsed / 1000);
            SimulatedTraffic(elapsed, status->bytesReceived, status->bytesSent);
        }
    }
    status->cbSize = size;
    return MODEM_OK;
}

Outcome ModemService::EnterPin(const wchar_t* pin)
{
    if (pin == nullptr)
        return Bad(L"no PIN");
    if (!running_.load(std::memory_order_acquire))
        return Outcome{MODEM_E_NO_MODEM, L"no modem session"};
    return session_.EnterPin(pin);
}

Outcome ModemService::EnterPuk(const wchar_t* puk, const wchar_t* newPin)
{
    if (puk == nullptr || newPin == nullptr)
        return Bad(L"no PUK or no new PIN");
    if (!running_.load(std::memory_order_acquire))
        return Outcome{MODEM_E_NO_MODEM, L"no modem session"};
    return session_.EnterPuk(puk, newPin);
}

Outcome ModemService::ListMessages(TModemMessage* out, int capacity, int* count) const
{
    if (count == nullptr || capacity < 0 || (capacity > 0 && out == nullptr))
        return Bad(L"no count, or no records for the capacity");
    if (capacity > 0 && out[0].cbSize != sizeof(TModemMessage))
        return Bad(L"cbSize is not sizeof(TModemMessage)");
    *count = 0;
    const std::vector<JoinedMessage> messages = session_.Messages();  // none while stopped
    *count = static_cast<int>(messages.size());
    for (size_t i = 0; i < messages.size() && i < static_cast<size_t>(capacity); ++i)
        FillMessageRecord(messages[i], out[i]);
    return Outcome{};
}

Outcome ModemService::GetMessageText(int id, wchar_t* buffer, int capacity) const
{
    if (buffer == nullptr || capacity < 1)
        return Bad(L"no buffer");
    buffer[0] = L'\0';
    JoinedMessage message;
    if (!session_.FindMessage(id, message))
        return Bad(L"no such message");
    return TextResult(message.text, buffer, capacity);
}

Outcome ModemService::DeleteMessage(int id)
{
    if (!running_.load(std::memory_order_acquire))
        return Outcome{MODEM_E_NO_MODEM, L"no modem session"};
    return session_.DeleteMessage(id);
}

int ModemService::CountMessageParts(const wchar_t* text)
{
    if (text == nullptr)
        return MODEM_E_BAD_ARGUMENT;
    return CountParts(text);
}

Outcome ModemService::SendMessage(const wchar_t* number, const wchar_t* text, int* partsSent)
{
    int sent = 0;
    if (partsSent)
        *partsSent = 0;
    if (number == nullptr || number[0] == L'\0' || text == nullptr)
        return Bad(L"no number or no text");
    if (!running_.load(std::memory_order_acquire))
        return Outcome{MODEM_E_NO_MODEM, L"no modem session"};
    Outcome outcome = session_.SendMessage(number, text, sent);
    if (partsSent)
        *partsSent = sent;
    return outcome;
}

Outcome ModemService::Ussd(const wchar_t* code, wchar_t* reply, int capacity, int timeoutMs)
{
    if (code == nullptr || reply == nullptr || capacity < 1 || timeoutMs < 0)
        return Bad(L"no code or no reply buffer");
    reply[0] = L'\0';
    if (!running_.load(std::memory_order_acquire))
        return Outcome{MODEM_E_NO_MODEM, L"no modem session"};
    std::wstring answer;
    Outcome outcome = session_.Ussd(code, static_cast<unsigned>(timeoutMs), answer);
    if (outcome.result != MODEM_OK)
        return outcome;
    return TextResult(answer, reply, capacity);
}

Outcome ModemService::Connect(const wchar_t* apn, const wchar_t* user, const wchar_t* password)
{
    const std::wstring userText = Text(user), passwordText = Text(password);
    if (userText.size() > kMaxCredential || passwordText.size() > kMaxCredential)
        return Outcome{MODEM_E_TOO_LONG, L"user name or password too long"};
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (link_ != MODEM_LINK_DOWN)
            return Outcome{MODEM_E_BUSY, simulated_ ? L"the simulated link is up" : L"a link is up or being dialled"};
    }
    if (!ras_.Available())
        return Outcome{MODEM_E_NOT_SUPPORTED, L"this system has no dial-up networking with a modem"};
    TModemStatus status{};
    session_.ReadStatus(status);
    if (!running_.load(std::memory_order_acquire) || !status.present)
        return Outcome{MODEM_E_NO_MODEM, L"no modem"};
    if (status.sim != MODEM_SIM_READY)
        return Outcome{MODEM_E_SIM_LOCKED, L"the SIM is not ready"};
    if (apn != nullptr && apn[0] != L'\0') {
        Outcome set = session_.SetApn(apn);
        if (set.result != MODEM_OK)
            return set;
    }
    const DWORD entry = ras_.SetEntry(kPhonebookEntry, status.port, kPacketDataNumber);
    if (entry != 0)
        return Outcome{entry == ERROR_CALL_NOT_IMPLEMENTED ? MODEM_E_NOT_SUPPORTED : MODEM_E_REFUSED,
                       L"the dial-up entry could not be made: error " + std::to_wstring(entry)};
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (link_ != MODEM_LINK_DOWN)
            return Outcome{MODEM_E_BUSY, L"a link is up or being dialled"};
        link_ = MODEM_LINK_DIALLING;
        linkSeconds_ = received_ = sent_ = 0;
    }
    PublishLink();
    if (post_)
        post_(MODEM_BUS_LINK, MODEM_LINK_DIALLING, 0);
    const DWORD dial = ras_.Dial(kPhonebookEntry, userText, passwordText,
                                 [this](int link, DWORD error) { OnDialProgress(link, error); });
    if (dial != 0) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            link_ = MODEM_LINK_DOWN;
        }
        PublishLink();
        if (post_)
            post_(MODEM_BUS_LINK, MODEM_LINK_DOWN, static_cast<long>(dial));
        return Outcome{dial == ERROR_CALL_NOT_IMPLEMENTED ? MODEM_E_NOT_SUPPORTED : MODEM_E_REFUSED,
                       L"dial-up error " + std::to_wstring(dial)};
    }
    return Outcome{};
}

void ModemService::OnDialProgress(int link, DWORD error)
{
    bool changed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (simulated_)
            return;
        changed = link_ != link;
        link_ = link;
        if (link == MODEM_LINK_DOWN)
            linkSeconds_ = received_ = sent_ = 0;
    }
    if (!changed && error == 0)
        return;
    PublishLink();
    if (post_)
        post_(MODEM_BUS_LINK, static_cast<unsigned>(link), static_cast<long>(error));
}

Outcome ModemService::Disconnect()
{
    bool simulated;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        simulated = simulated_;
        if (!simulated) {
            if (link_ == MODEM_LINK_DOWN)
                return Outcome{};
            link_ = MODEM_LINK_HANGING_UP;
        }
    }
    if (simulated)
        return SetSimulatedLink(0);
    PublishLink();
    std::lock_guard<std::mutex> lock(hangUpMutex_);
    if (hangUp_.joinable())
        hangUp_.join();
    // RasHangUp and the wait for the port to be let go run off the caller's thread.
    hangUp_ = std::thread([this] {
        ras_.HangUp();
        OnDialProgress(MODEM_LINK_DOWN, 0);
    });
    return Outcome{};
}

Outcome ModemService::SetSimulatedLink(int on)
{
    if (!simulatedLinkAllowed_)
        return Outcome{MODEM_E_NOT_SUPPORTED, L"only the demo product simulates a link"};
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (on && link_ != MODEM_LINK_DOWN && !simulated_)
            return Outcome{MODEM_E_BUSY, L"a real link is up or being dialled"};
        if ((on != 0) == simulated_)
            return Outcome{};
        simulated_ = on != 0;
        link_ = simulated_ ? MODEM_LINK_UP : MODEM_LINK_DOWN;
        linkSeconds_ = received_ = sent_ = 0;
        simulatedSince_ = GetTickCount64();
    }
    PublishLink();
    if (post_)
        post_(MODEM_BUS_LINK, static_cast<unsigned>(on ? MODEM_LINK_UP : MODEM_LINK_DOWN), 0);
    return Outcome{};
}

bool ModemService::LinkUp() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return link_ == MODEM_LINK_UP;
}

void ModemService::PublishLink()
{
    int link;
    bool simulated;
    DWORD seconds, received, sent;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        link = link_;
        simulated = simulated_;
        seconds = linkSeconds_;
        received = received_;
        sent = sent_;
    }
    session_.SetLink(link, simulated, seconds, received, sent);  // in the record while stopped too
}

void ModemService::PollLink()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (link_ != MODEM_LINK_UP)
            return;
        if (simulated_) {
            const unsigned long long elapsed = GetTickCount64() - simulatedSince_;
            linkSeconds_ = static_cast<DWORD>(elapsed / 1000);
            SimulatedTraffic(elapsed, received_, sent_);
        } else {
            DWORD seconds = 0, received = 0, sent = 0;
            if (!ras_.Statistics(seconds, received, sent))
                return;
            linkSeconds_ = seconds;
            received_ = received;
            sent_ = sent;
        }
    }
    PublishLink();
}

void ModemService::OnBusMessage(unsigned long message, unsigned wParam, long)
{
    if (message != kShellNoticeMessage || wParam != kDeviceArrivedCode)
        return;
    if (running_.load(std::memory_order_acquire))
        session_.LookAgain();
}

}  // namespace marvik
