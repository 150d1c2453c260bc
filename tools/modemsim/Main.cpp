// kivra-modem-sim.exe: plays a 3GPP modem (TS 27.007 / 27.005 AT commands)
// on a COM port, for the demo and the port tests. It is no part of a real
// product: the build lays it out in the demo product's tools\ folder only.
//
//   kivra-modem-sim.exe COM6 [script-file] [--command words...]...
//
// The script file, then each --command in order (the words up to the next
// --, as a script line would have them), set up the modem; "at" commands
// wait for their time. It answers until Ctrl+C or Ctrl+Break, an "end"
// command, or the port going away (the other end of the line is gone).
//
// The script: one command a line, words separated by blanks, "quoted" words
// may hold blanks (\" \\ \n inside), # starts a comment. UTF-8.
//   manufacturer|model|revision|imei <text>   +CGMI, +CGMM, +CGMR, +CGSN
//   sim ready|pin|puk|absent                  +CPIN? (absent: +CME ERROR: 10)
//   pin <digits>, puk <digits>                the codes that unlock it (1234, 12345678)
//   tries <pin tries> [<puk tries>]           left before PUK / for good (3, 10)
//   tries-report on|off                       whether AT+CPINR answers (on)
//   registration none|home|searching|denied|unknown|roaming   +CREG/+CGREG <stat> (home)
//   operator <name>                           +COPS? long alphanumeric ("Kivra Mobile")
//   technology gsm|compact|umts|edge|hsdpa|hsupa|hspa|lte|<0-7>   <AcT> (umts)
//   signal <rssi 0-31 | 99>                   +CSQ (20: -73 dBm)
//   vendor-reports on|off                     also "^RSSI:<n>" when the signal changes
//   wander <low> <high> [<seconds>]|off       the signal steps by one within that range (every 7 s)
//   echo on|off                               echo until ATE0 (on, as a modem starts)
//   message unread|read|unsent|sent pdu <hex> a stored PDU, as written (service centre first)
//   message <status> text <sender> <text>     a stored SMS-DELIVER made of the text: GSM 7-bit
//                                             or UCS2, in concatenated parts when long;
//                                             sender "+4512345678", "12345" or "Telia"
//   receive pdu <hex> | receive text <sender> <text>   arrives: stored unread, +CMTI reported
//   stamp now | stamp ago <minutes> | stamp <yyyy-mm-dd> <hh:mm[:ss]> [<+hh:mm>]
//                                             the time stamp of the text messages made after it
//   ussd <code> <answer> [text|gsm7|ucs2]     AT+CUSD's answer: as text (dcs 15), or hex of
//                                             packed GSM 7-bit (15) or UCS2 (72)
//   ussd-before-ok on|off                     +CUSD before the OK instead of after it
//   fault none|silent|garbage|close           silent: answers nothing; garbage: binary noise
//                                             only; close: the line drops at the next command
//   delay <ms>                                every answer comes that much later
//   noise on|off                              binary noise and empty lines between answers
//   report <line>                             an unsolicited line ("RING", "^BOOT:1,0,0,4")
//   reopen                                    opens the port again after "fault close"
//   end                                       ends the simulator
//   at <seconds> <command>                    the command at that time after the start
#include "ComPort.h"
#include "ModemScript.h"

#include "marvik/Port.h"

#include <windows.h>

#include <cstdio>
#include <deque>
#include <fstream>
#include <sstream>

namespace {

constexpr unsigned kSliceMs = 100;  // the longest wait, so that Ctrl+C is seen soon
constexpr ULONGLONG kLineCheckMs = 500;  // how often a quiet line is asked whether it is still there
constexpr int kUsage = 64, kNoPort = 1, kBadScript = 2;

HANDLE g_stop = nullptr;

BOOL WINAPI OnConsoleControl(DWORD event)
{
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT) {
        SetEvent(g_stop);
        return TRUE;
    }
    return FALSE;
}

std::string Narrow(const std::wstring& wide)
{
    if (wide.empty())
        return {};
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string text(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), length, nullptr,
                            nullptr);
    return text;
}

void Say(const std::string& text)
{
    std::printf("kivra-modem-sim: %s\n", text.c_str());
    std::fflush(stdout);
}

// A command line as a printable text: what the host wrote, control bytes in hex.
std::string Printable(const std::string& line)
{
    std::string text;
    for (const char c : line) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof(hex), "<%02X>", u);
            text += hex;
        } else {
            text += c;
        }
    }
    return text;
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: kivra-modem-sim.exe COM<n> [script-file] [--<command> <words>...]...\n"
                 "  plays a modem on the port; the script's commands are listed in\n"
                 "  docs/modem-simulator.md (--trace shows every command received)\n");
    return kUsage;
}

// The bytes the modem answers, each piece written at its time.
struct Pending {
    std::string bytes;
    ULONGLONG dueMs;
};

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2 || marvik::NormalPortName(argv[1]).empty())
        return Usage();
    const std::wstring portName = marvik::NormalPortName(argv[1]);

    modemsim::SimulatedModem modem;
    modemsim::ModemScript script(modem);
    bool trace = false;
    std::string error;
    int arg = 2;
    if (arg < argc && wcsncmp(argv[arg], L"--", 2) != 0) {
        std::ifstream file(argv[arg], std::ios::binary);
        if (!file) {
            Say("cannot read the script " + Narrow(argv[arg]));
            return kBadScript;
        }
        std::stringstream text;
        text << file.rdbuf();
        if (!script.Load(text.str(), error)) {
            Say(Narrow(argv[arg]) + ", " + error);
            return kBadScript;
        }
        ++arg;
    }
    while (arg < argc) {
        if (wcsncmp(argv[arg], L"--", 2) != 0 || argv[arg][2] == 0)
            return Usage();
        std::vector<std::string> words{Narrow(argv[arg] + 2)};
        for (++arg; arg < argc && wcsncmp(argv[arg], L"--", 2) != 0; ++arg)
            words.push_back(Narrow(argv[arg]));
        if (words[0] == "trace" && words.size() == 1) {
            trace = true;
            continue;
        }
        if (!script.Command(words, error)) {
            Say("--" + words[0] + ": " + error);
            return kBadScript;
        }
    }

    g_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);  // lives as long as the process
    if (!g_stop)
        return kNoPort;
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);

    std::unique_ptr<modemsim::ComPort> port = modemsim::ComPort::Open(portName);
    if (!port) {
        Say("cannot open " + Narrow(portName) + " (error " + std::to_string(GetLastError()) + ")");
        return kNoPort;
    }
    Say("playing a modem on " + Narrow(portName) + " (Ctrl+C ends it)");

    const ULONGLONG started = GetTickCount64();
    std::deque<Pending> pending;
    size_t commandsSeen = 0;
    ULONGLONG lineCheckedMs = 0;
    char buffer[1024];
    for (;;) {
        const ULONGLONG now = GetTickCount64() - started;
        unsigned waitMs = script.Advance(now);
        for (const std::string& line : script.TakeLog())
            Say(line);
        if (script.EndWanted()) {
            Say("the script ends");
            break;
        }
        if (script.TakeReopenWanted() && !port) {
            port = modemsim::ComPort::Open(portName);
            Say(port ? "the line is back" : "cannot open the port again");
        }

        // What the modem answers, in order, each piece its delay after the one before.
        for (modemsim::OutputPiece& piece : modem.TakeOutput()) {
            const ULONGLONG after = pending.empty() ? now : std::max(now, pending.back().dueMs);
            pending.push_back(Pending{std::move(piece.bytes), after + piece.delayMs});
        }
        while (port && !pending.empty() && pending.front().dueMs <= now) {
            if (!port->Write(pending.front().bytes)) {
                Say("the port went away");
                return 0;
            }
            pending.pop_front();
        }
        if (port && modem.HangUpWanted()) {
            Say("the line drops (fault close)");
            port.reset();
            pending.clear();
            modem.SetFault(modemsim::Fault::None);  // a reopened line answers again
            if (!script.ReopenPending()) {
                Say("nothing reopens the line: the simulator ends");
                break;
            }
        }

        if (!pending.empty())
            waitMs = std::min<ULONGLONG>(waitMs, pending.front().dueMs > now ? pending.front().dueMs - now : 0);
        waitMs = std::max(1u, std::min(waitMs, kSliceMs));
        if (WaitForSingleObject(g_stop, 0) == WAIT_OBJECT_0) {
            Say("stopped");
            break;
        }
        if (!port) {
            pending.clear();
            WaitForSingleObject(g_stop, waitMs);
            continue;
        }
        const int got = port->Read(buffer, sizeof(buffer), waitMs);
        bool gone = got < 0;
        // A line whose other end is gone reads as a quiet one: ask it now and then.
        if (got == 0 && now - lineCheckedMs >= kLineCheckMs) {
            lineCheckedMs = now;
            gone = port->Gone();
        }
        if (gone) {
            Say("the port went away");
            break;
        }
        if (got > 0) {
            modem.Receive(std::string_view(buffer, static_cast<size_t>(got)));
            if (trace) {
                const std::vector<std::string> commands = modem.Commands();
                for (; commandsSeen < commands.size(); ++commandsSeen)
                    Say("> " + Printable(commands[commandsSeen]));
            }
        }
    }
    return 0;
}
