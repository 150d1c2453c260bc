// marvik.h - marvik.dll, the modem library: one session with the 3G modem for
// the whole process, its state, its SIM, its text messages, USSD and the
// dial-up link.
//
// Two interfaces live here:
//  - the class Modem (GetModem, NetStat), which Kivra.exe calls to ask
//    whether a connection is up before it exits;
//  - the C interface (the Modem* functions below): extern "C", __cdecl,
//    UTF-16 texts, fixed records whose first field cbSize the caller sets to
//    sizeof the record, so a plugin built with any compiler can use it.
//
// Life cycle
//   1. ModemStart(port)      starts the process's one session on "COM5", or
//                            with null or "" finds the modem: each port
//                            Windows lists under
//                            HKLM\HARDWARE\DEVICEMAP\SERIALCOMM (where a USB
//                            modem's ports appear) is probed with "AT" and
//                            must answer within 1 s. Built-in serial ports
//                            (value names "\Device\Serial<n>") are never
//                            probed: a data card is never one of them.
//                            Returns at once; the session opens and sets up
//                            the modem on its own thread, and the status
//                            record and the bus tell when it is there.
//   2. ModemGetStatus, ModemListMessages, ModemGetMessageText read the
//      session's cache and never block. ModemEnterPin, ModemEnterPuk,
//      ModemDeleteMessage, ModemSendMessage and ModemUssd wait for the modem
//      (each within its own time limit); call them from a thread that may
//      wait that long, or accept the short pause on the user-interface
//      thread. ModemConnect and ModemDisconnect never wait for the link:
//      progress and result come on the bus.
//   3. ModemStop()           ends the session: the port is closed, the
//                            threads end. Process exit ends it too. A link
//                            made by ModemConnect is not hung up by it.
//
// The session
//   The session sets the modem up with ATE0, AT+CMEE=1, AT+CMGF=0 (PDU mode),
//   AT+CNMI=2,1,0,0,0 (a +CMTI report for each new message), AT+CREG=2 and
//   AT+COPS=3,0 (operator names in long alphanumeric form), reads its identity
//   (+CGMI, +CGMM, +CGMR, +CGSN), and then refreshes SIM state, registration,
//   operator, technology and signal every 5 s, and at once when the modem
//   reports a change on its own (+CREG, +CGREG, +CMTI, ^ vendor reports). The
//   stored messages are read once the SIM is ready (AT+CMGL=4) and kept in a
//   cache; a new one (+CMTI) is read at once.
//   A modem that does not answer three commands in a row is taken as absent,
//   and so is a port whose reading or writing fails (a modem pulled out); the
//   port is then closed. While absent, the session looks again every 5 s and
//   at once when the shell posts its device-arrival notice (0x8069, 0x8000).
//
// Threads
//   Every function may be called from any thread. The session's own threads
//   (one reading the port, one sending commands) never call into a plugin:
//   they post on the message bus (ostel.h) and plugins receive on a thread
//   of their own choosing; one subscribed with OpSubscribeOnThisThread from
//   LoadPlugin gets the messages on the user-interface thread.
//
// Results
//   Every function returns MODEM_OK (1) on success or one of the MODEM_E_*
//   values (all negative); the modem's own words for the last failure of the
//   calling thread are given by ModemLastError. Texts written into a
//   caller's buffer are cut to its capacity (never inside a surrogate pair)
//   and always terminated. Nothing is thrown.
#pragma once

#include <windows.h>
#include <cstddef>

#if defined(KIVRA_BUILDING_MARVIK)
#define MARVIK_API __declspec(dllexport)
#elif defined(KIVRA_MARVIK_ON_FIRST_CALL)
// Kivra.exe's own build: its calls go through the stubs of an import library
// that loads marvik.dll at the first of them.
#define MARVIK_API
#else
#define MARVIK_API __declspec(dllimport)
#endif

// The modem object Kivra.exe asks before it exits.
class MARVIK_API Modem {
public:
    // The process's modem object; never null.
    static Modem* GetModem();

    // Fills *first and *second (either may be null): both non-zero when a
    // connection is up, both 0 otherwise. Up means the link ModemConnect made
    // is up, or the system has another active dial-up (RAS) connection, or
    // the demo's simulated link is on (ModemSetSimulatedLink, or the
    // environment variable KIVRA_MODEM_STATE=connected, both honoured only
    // in the demo product). Returns 1.
    int NetStat(unsigned int* first, unsigned int* second);
};

// Results.
#define MODEM_OK 1
#define MODEM_E_NO_MODEM (-1)       // no session, or the modem is absent
#define MODEM_E_TIMEOUT (-2)        // the modem did not answer within the time limit
#define MODEM_E_SIM_LOCKED (-3)     // the SIM needs its PIN or PUK first
#define MODEM_E_REFUSED (-4)        // the modem answered ERROR / +CME ERROR / +CMS ERROR
#define MODEM_E_BAD_ARGUMENT (-5)   // null, empty or malformed argument, wrong cbSize
#define MODEM_E_TOO_LONG (-6)       // a text longer than the modem or the record takes
#define MODEM_E_NOT_SUPPORTED (-7)  // the system lacks what the call needs (dial-up networking)
#define MODEM_E_BUSY (-8)           // already under way (a dial), or another port's session runs

// TModemStatus.sim: +CPIN? answers.
#define MODEM_SIM_UNKNOWN 0
#define MODEM_SIM_READY 1
#define MODEM_SIM_PIN 2     // "SIM PIN": ModemEnterPin
#define MODEM_SIM_PUK 3     // "SIM PUK": ModemEnterPuk
#define MODEM_SIM_ABSENT 4  // +CME ERROR: 10, SIM not inserted

// TModemStatus.registration: <stat> of +CREG / +CGREG (3GPP TS 27.007).
#define MODEM_REG_NONE 0       // not registered, not searching
#define MODEM_REG_HOME 1       // registered, home network
#define MODEM_REG_SEARCHING 2  // not registered, searching
#define MODEM_REG_DENIED 3     // registration denied
#define MODEM_REG_UNKNOWN 4
#define MODEM_REG_ROAMING 5    // registered, roaming

// TModemStatus.accessTech: <AcT> of +COPS / +CREG (3GPP TS 27.007).
#define MODEM_ACT_UNKNOWN (-1)
#define MODEM_ACT_GSM 0
#define MODEM_ACT_GSM_COMPACT 1
#define MODEM_ACT_UMTS 2
#define MODEM_ACT_EDGE 3
#define MODEM_ACT_HSDPA 4
#define MODEM_ACT_HSUPA 5
#define MODEM_ACT_HSPA 6
#define MODEM_ACT_LTE 7

// TModemStatus.link, and wParam of MODEM_BUS_LINK.
#define MODEM_LINK_DOWN 0
#define MODEM_LINK_DIALLING 1
#define MODEM_LINK_UP 2
#define MODEM_LINK_HANGING_UP 3

// TModemMessage.status: <stat> of +CMGL (3GPP TS 27.005, PDU mode).
#define MODEM_MSG_UNREAD 0
#define MODEM_MSG_READ 1
#define MODEM_MSG_UNSENT 2
#define MODEM_MSG_SENT 3

#define MODEM_SIGNAL_UNKNOWN (-1000)  // signalDbm when +CSQ says 99
#define MODEM_TRIES_UNKNOWN (-1)      // pinTriesLeft / pukTriesLeft the modem does not tell
#define MODEM_MAX_PARTS 32            // storage indexes one TModemMessage lists
#define MODEM_MESSAGE_TEXT 400        // units of TModemMessage.text, terminator included

// Messages the session posts on the bus (TPostMessage, ostel.h).
//   MODEM_BUS_STATUS   wParam: MODEM_CHANGED_* bits of what changed; lParam 0.
//                      Read the new state with ModemGetStatus.
//   MODEM_BUS_MESSAGE  a new message arrived (+CMTI) and is in the cache;
//                      wParam: its storage index; lParam: the id of the
//                      message it belongs to (ModemListMessages), which is
//                      complete once every part has come.
//   MODEM_BUS_LINK     the dial-up link changed: wParam MODEM_LINK_*; lParam
//                      0, or the system's dial-up error (RasDial's, e.g.
//                      ERROR_AUTHENTICATION_FAILURE 691) when a dial failed
//                      or the link dropped (wParam then MODEM_LINK_DOWN).
#define MODEM_BUS_STATUS 0x8A01UL
#define MODEM_BUS_MESSAGE 0x8A02UL
#define MODEM_BUS_LINK 0x8A03UL

#define MODEM_CHANGED_PRESENCE 0x01
#define MODEM_CHANGED_SIM 0x02           // sim or its tries left
#define MODEM_CHANGED_REGISTRATION 0x04
#define MODEM_CHANGED_OPERATOR 0x08
#define MODEM_CHANGED_TECHNOLOGY 0x10
#define MODEM_CHANGED_SIGNAL 0x20        // signalBars (not every dBm step)
#define MODEM_CHANGED_LINK 0x40
#define MODEM_CHANGED_MESSAGES 0x80      // the message cache changed: list again

// The modem's state (732 bytes). Texts are as the modem gives them, cut to
// the field. Identity fields are empty and numbers unknown while absent.
struct TModemStatus {
    DWORD cbSize;                // in: sizeof(TModemStatus)
    int present;                 // 1: a modem answers on port
    wchar_t port[16];            // "COM5"; empty while none was found
    wchar_t manufacturer[64];    // +CGMI
    wchar_t model[64];           // +CGMM
    wchar_t revision[64];        // +CGMR
    wchar_t imei[32];            // +CGSN
    int sim;                     // MODEM_SIM_*
    int pinTriesLeft;            // or MODEM_TRIES_UNKNOWN
    int pukTriesLeft;            // or MODEM_TRIES_UNKNOWN
    int registration;            // MODEM_REG_*
    wchar_t operatorName[64];    // +COPS? long alphanumeric; empty when not registered
    int accessTech;              // MODEM_ACT_*
    wchar_t accessTechName[16];  // "GSM", "GPRS", "EDGE", "UMTS", "HSDPA", "HSUPA", "HSPA", "LTE", or empty
    int signalDbm;               // -113 + 2 * rssi, or MODEM_SIGNAL_UNKNOWN
    int signalBars;              // 0..5 (0 also when unknown)
    int link;                    // MODEM_LINK_*
    int linkSimulated;           // 1: link is the demo's simulated one (ModemSetSimulatedLink)
    DWORD linkSeconds;           // while up: how long, and the bytes moved (RasGetConnectionStatistics)
    DWORD bytesReceived;
    DWORD bytesSent;
    int unreadMessages;          // messages in the cache with MODEM_MSG_UNREAD
    DWORD reserved[8];           // zero
};

// One message as the modem stores it (1,108 bytes): a received message whose
// concatenated parts are joined, with every storage index it came from.
struct TModemMessage {
    DWORD cbSize;               // in (first record of the array): sizeof(TModemMessage)
    int id;                     // for ModemDeleteMessage / ModemGetMessageText: stays while the message does
    int status;                 // MODEM_MSG_*
    wchar_t sender[64];         // "+4512345678", "12345" or an alphanumeric sender ("Telia")
    int year, month, day;       // the service centre's time stamp (year 2000..2099), local to zone:
    int hour, minute, second;
    int zoneQuarterHours;       // the sender's time zone, in quarters of an hour east of GMT
    int partsTotal;             // parts the message announces (1 when not concatenated)
    int indexCount;             // storage indexes in indexes[]; fewer than partsTotal while parts are missing
    int indexes[MODEM_MAX_PARTS];
    int textLength;             // length of the whole text in UTF-16 units
    wchar_t text[MODEM_MESSAGE_TEXT];  // the text, cut at 399 units; ModemGetMessageText gives it whole
};

#ifdef __cplusplus
extern "C" {
#endif

// Starts the process's modem session on port ("COM5"; "\\.\COM12" also
// works) or, with null or "", on the first listed port that answers AT.
// Returns MODEM_OK at once, the modem found or not. A second call while a
// session runs returns MODEM_OK and changes nothing, unless it names
// another port than the session's: MODEM_E_BUSY. MODEM_E_BAD_ARGUMENT: a
// name that is not a COM port.
MARVIK_API int __cdecl ModemStart(const wchar_t* port);

// Ends the session (waits for its threads, at most a command's time limit).
// Returns MODEM_OK, also when none ran.
MARVIK_API int __cdecl ModemStop(void);

// Copies the cached state into *status (cbSize set by the caller to
// sizeof(TModemStatus); a larger record, of a later version of this header,
// gets these fields and keeps the rest as it was). Never blocks. Without a session: present 0, the rest unknown.
// MODEM_E_BAD_ARGUMENT: null, or cbSize smaller than this record.
MARVIK_API int __cdecl ModemGetStatus(TModemStatus* status);

// Enters the SIM's PIN (4 to 8 digits) when the SIM asks for it. MODEM_OK:
// accepted (or the SIM was ready already); MODEM_E_REFUSED: wrong PIN (the
// tries left are in the status record, where the modem tells them);
// MODEM_E_SIM_LOCKED: the SIM wants its PUK; MODEM_E_BAD_ARGUMENT;
// MODEM_E_NO_MODEM; MODEM_E_TIMEOUT.
MARVIK_API int __cdecl ModemEnterPin(const wchar_t* pin);

// Enters the PUK (8 digits) and a new PIN (4 to 8 digits) when the SIM asks
// for its PUK. Results as ModemEnterPin (MODEM_E_REFUSED: wrong PUK).
MARVIK_API int __cdecl ModemEnterPuk(const wchar_t* puk, const wchar_t* newPin);

// Copies up to capacity messages of the cache into out[] (oldest first) and
// sets *count to the number of messages the cache holds (it may be larger
// than capacity: ask again with a bigger array). out may be null when
// capacity is 0; otherwise out[0].cbSize must be sizeof(TModemMessage).
// Never blocks. MODEM_E_BAD_ARGUMENT for a null count or a wrong cbSize.
MARVIK_API int __cdecl ModemListMessages(TModemMessage* out, int capacity, int* count);

// The whole text of message id, cut to capacity (terminator included).
// Returns the text's full length in units (0 or more); MODEM_E_BAD_ARGUMENT
// for an unknown id, a null buffer or capacity < 1.
MARVIK_API int __cdecl ModemGetMessageText(int id, wchar_t* buffer, int capacity);

// Deletes message id from the modem: every storage index it came from
// (AT+CMGD each). MODEM_OK when every part is gone; MODEM_E_BAD_ARGUMENT for
// an unknown id; MODEM_E_REFUSED when the modem refused a part (the others
// are deleted; the message stays listed with what is left).
MARVIK_API int __cdecl ModemDeleteMessage(int id);

// How many parts ModemSendMessage would send text in (1 for an empty text):
// GSM 7-bit when every character is in the default alphabet or its extension
// table (160 septets, 153 per part when split; extension characters count
// twice), otherwise UCS2 (70 units, 67 per part). Never blocks; needs no
// session. MODEM_E_BAD_ARGUMENT for null.
MARVIK_API int __cdecl ModemCountMessageParts(const wchar_t* text);

// Sends text to number ("+4512345678" or national digits), split into
// concatenated parts as ModemCountMessageParts counts them (at most
// MODEM_MAX_PARTS, else MODEM_E_TOO_LONG). *partsSent (may be null) is set to
// the parts the network accepted; on a failure the later parts are not sent.
// MODEM_E_BAD_ARGUMENT: no number, or more than 20 digits.
MARVIK_API int __cdecl ModemSendMessage(const wchar_t* number, const wchar_t* text, int* partsSent);

// Sends a USSD request ("*100#") and waits up to timeoutMs (1,000 to
// 120,000; 0 means 30,000) for the network's answer, written into reply
// (decoded by its coding scheme, whether the modem gives text or hex).
// Returns the answer's full length in units; MODEM_E_TIMEOUT when none came.
MARVIK_API int __cdecl ModemUssd(const wchar_t* code, wchar_t* reply, int capacity, int timeoutMs);

// The modem's own words for the calling thread's last failed call, with
// their standard meaning: "+CME ERROR: 16 (incorrect password)",
// "+CMS ERROR: 330 (SMSC address unknown)", "timeout: AT+CUSD=1,...". Empty
// when the last call succeeded. Returns the text's full length.
MARVIK_API int __cdecl ModemLastError(wchar_t* text, int capacity);

// Brings the data link up through Windows' dial-up networking: sets the APN
// on the modem (AT+CGDCONT=1,"IP","<apn>"), makes or updates the phonebook
// entry "Kivra Modem" for the modem's port (dials *99#), and dials it. Returns
// MODEM_OK once the dial is under way; progress and result come as
// MODEM_BUS_LINK. user and password may be null. MODEM_E_NOT_SUPPORTED where
// the system has no dial-up networking; MODEM_E_BUSY while a dial or link is
// up; MODEM_E_NO_MODEM; MODEM_E_SIM_LOCKED.
MARVIK_API int __cdecl ModemConnect(const wchar_t* apn, const wchar_t* user, const wchar_t* password);

// Hangs the link up (also a dial under way). Returns MODEM_OK at once; the
// bus carries MODEM_BUS_LINK with MODEM_LINK_DOWN when it is down.
MARVIK_API int __cdecl ModemDisconnect(void);

// The demo product's simulated link, for machines without dial-up
// networking: on (1) the status shows link MODEM_LINK_UP with linkSimulated 1
// and NetStat reports a connection; off (0) ends it. Allowed only where the
// demo product says so (the file tools\simulated-link beside marvik.dll,
// which only the demo carries); elsewhere MODEM_E_NOT_SUPPORTED: a real
// product never pretends to be connected.
MARVIK_API int __cdecl ModemSetSimulatedLink(int on);

#ifdef __cplusplus
}  // extern "C"

static_assert(sizeof(void*) == 4, "marvik.dll and its callers are 32-bit");
static_assert(sizeof(TModemStatus) == 732, "TModemStatus is 732 bytes");
static_assert(offsetof(TModemStatus, present) == 4);
static_assert(offsetof(TModemStatus, port) == 8);
static_assert(offsetof(TModemStatus, manufacturer) == 40);
static_assert(offsetof(TModemStatus, model) == 168);
static_assert(offsetof(TModemStatus, revision) == 296);
static_assert(offsetof(TModemStatus, imei) == 424);
static_assert(offsetof(TModemStatus, sim) == 488);
static_assert(offsetof(TModemStatus, registration) == 500);
static_assert(offsetof(TModemStatus, operatorName) == 504);
static_assert(offsetof(TModemStatus, accessTech) == 632);
static_assert(offsetof(TModemStatus, accessTechName) == 636);
static_assert(offsetof(TModemStatus, signalDbm) == 668);
static_assert(offsetof(TModemStatus, link) == 676);
static_assert(offsetof(TModemStatus, linkSeconds) == 684);
static_assert(offsetof(TModemStatus, unreadMessages) == 696);
static_assert(offsetof(TModemStatus, reserved) == 700);
static_assert(sizeof(TModemMessage) == 1108, "TModemMessage is 1,108 bytes");
static_assert(offsetof(TModemMessage, id) == 4);
static_assert(offsetof(TModemMessage, sender) == 12);
static_assert(offsetof(TModemMessage, year) == 140);
static_assert(offsetof(TModemMessage, zoneQuarterHours) == 164);
static_assert(offsetof(TModemMessage, partsTotal) == 168);
static_assert(offsetof(TModemMessage, indexes) == 176);
static_assert(offsetof(TModemMessage, textLength) == 304);
static_assert(offsetof(TModemMessage, text) == 308);
#endif
