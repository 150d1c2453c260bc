// SimulatedModem: a 3GPP modem's AT interface (TS 27.007, 27.005) played in
// software, for tests and for the demo's kivra-modem-sim.exe.
//
// The class knows nothing of ports or clocks. Its transport hands it the
// bytes the host wrote (Receive) and takes what the modem answers
// (TakeOutput): pieces of bytes, each with the delay after which the host
// should see it (the "slow" fault). onOutput tells the transport that pieces
// are waiting; HangUpWanted tells it to drop the line (the "close" fault).
//   - In-process: SimulatedPortProvider (SimulatedPort.h) makes marvik Ports
//     of it.
//   - Over a COM port (kivra-modem-sim.exe): a loop that ReadFile()s the
//     port into Receive, WriteFile()s each piece of TakeOutput after its
//     delay, calls the scripted setters (DeliverMessage, SetSignal, ...) at
//     their times, and closes the port when HangUpWanted.
// Every member may be called from any thread (one lock inside).
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace modemsim {

enum class SimState { Ready, Pin, Puk, Absent };

enum class Fault {
    None,
    Silent,   // takes commands and answers nothing
    Garbage,  // answers every command with binary garbage only
    HangUp,   // the line drops at the next command (the transport closes the port)
};

struct OutputPiece {
    std::string bytes;
    unsigned delayMs = 0;  // after the piece before it
};

struct UssdAnswer {
    std::string text;  // as the modem puts it in +CUSD's <str>: plain text, or hex
    int dcs = 15;
    int status = 0;    // <m>: 0 done, 1 further action required, 2 ended by the network
};

class SimulatedModem {
public:
    SimulatedModem();

    // ---- what the modem is ----
    void SetIdentity(std::string manufacturer, std::string model, std::string revision, std::string imei);
    // The SIM, its codes and the tries left (3 and 10 when fresh).
    void SetSim(SimState state, std::string pin = "1234", std::string puk = "12345678", int pinTries = 3,
                int pukTries = 10);
    // Whether AT+CPINR answers (not every modem has it).
    void SetReportsTries(bool reports);
    // Registration <stat> (TS 27.007 +CREG), operator and <AcT>. Reported at
    // once (+CREG, +CGREG) where the host asked for reports.
    void SetNetwork(int stat, std::string operatorName, int accessTech);
    // +CSQ <rssi> 0..31 or 99; with vendorReports also "^RSSI:<n>" at once.
    void SetSignal(int rssi, bool vendorReport = false);
    // A stored message: <stat> (0 unread, 1 read, 2 unsent, 3 sent) and its
    // PDU as hex with the service centre in front. Returns its index.
    int StoreMessage(int status, std::string pduHex);
    // A message arrives: stored unread, and +CMTI reported where the host
    // asked for it (AT+CNMI=2,1). Returns its index.
    int DeliverMessage(std::string pduHex);
    // The answer to a USSD code ("*100#").
    void SetUssdAnswer(std::string code, UssdAnswer answer);
    // Put +CUSD before the OK instead of after it.
    void SetUssdBeforeOk(bool before);
    void SetEcho(bool on);  // what ATE0 / ATE1 set too
    void SetFault(Fault fault);
    void SetReplyDelay(unsigned ms);  // every answer comes that much later
    // Binary noise and stray empty lines between the answers (which stay).
    void SetNoise(bool on);
    // Sends a line on its own ("^BOOT:...", "RING").
    void Report(std::string line);

    // ---- what the host did ----
    std::vector<std::string> Commands() const;   // every command line received
    std::vector<std::string> SentPdus() const;   // PDUs received after AT+CMGS
    std::vector<int> StoredIndexes() const;
    std::string Apn() const;                     // AT+CGDCONT's
    SimState Sim() const;

    // ---- the transport's side ----
    void Receive(std::string_view bytes);
    std::vector<OutputPiece> TakeOutput();
    bool HangUpWanted() const;
    void SetOnOutput(std::function<void()> onOutput);

private:
    struct Stored {
        int status;
        std::string pdu;
    };

    void Execute(const std::string& line);
    void ExecuteAfterPrompt(const std::string& pdu);
    void Answer(const std::string& line);   // "\r\n<line>\r\n"
    void Final(const std::string& result);  // OK, ERROR
    void CmeError(int code);
    void CmsError(int code);
    void Unsolicited(const std::string& line);
    void Emit(std::string bytes);
    std::string RegistrationLine(const char* name, int mode, bool report) const;
    int NextIndex() const;

    mutable std::mutex mutex_;
    std::function<void()> onOutput_;
    std::vector<OutputPiece> output_;
    std::string input_;
    bool awaitingPdu_ = false;
    int pduLength_ = 0;

    std::string manufacturer_ = "Kivra", model_ = "SimModem 3G", revision_ = "1.0.0", imei_ = "490154203237518";
    SimState sim_ = SimState::Ready;
    std::string pin_ = "1234", puk_ = "12345678";
    int pinTries_ = 3, pukTries_ = 10;
    bool reportsTries_ = true;
    int stat_ = 1;
    std::string operator_ = "Kivra Mobile";
    int accessTech_ = 2;
    int rssi_ = 20;
    std::map<int, Stored> stored_;
    std::map<std::string, UssdAnswer> ussd_;
    bool ussdBeforeOk_ = false;
    bool echo_ = true;  // as a modem starts
    int cmee_ = 0, creg_ = 0, cgreg_ = 0, cnmiMt_ = 0;
    Fault fault_ = Fault::None;
    bool hangUp_ = false;
    unsigned delayMs_ = 0;
    unsigned nextDelay_ = 0;  // for the next piece: the start of an answer
    bool noise_ = false;
    unsigned noiseSeed_ = 12345;
    int messageReference_ = 0;
    std::string apn_;
    std::vector<std::string> commands_;
    std::vector<std::string> sentPdus_;
};

}  // namespace modemsim
