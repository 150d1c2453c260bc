// MessageStore.h - every text message sms has seen, kept in the product
// database: received ones imported from the modem's list, sent ones as they
// are sent. A message deleted here stays deleted, even while the SIM still
// holds it. No window is needed: the panel and the tests use it alike.
#pragma once

#include <string>
#include <vector>

#include "../shared/PluginData.h"
#include "marvik.h"

namespace sms {

// A message as the modem lists it, with its whole text.
struct SimMessage {
    std::wstring sender;
    long long utc = 0;         // the service centre's time stamp, seconds since 1970 UTC
    int zoneQuarterHours = 0;  // the sender's zone, quarters of an hour east of GMT
    std::wstring text;
    std::vector<int> indexes;  // where the SIM keeps its parts
    int partsTotal = 1;        // more than indexes.size() while parts are missing
    int status = MODEM_MSG_UNREAD;
};

// The record as ModemListMessages gives it, with the whole text of
// ModemGetMessageText.
SimMessage FromModem(const TModemMessage& message, const std::wstring& wholeText);

// A message as it is kept and shown.
struct StoredMessage {
    long long id = 0;
    std::wstring sender;  // the recipient, for a sent message
    long long utc = 0;
    int zoneQuarterHours = 0;
    std::wstring text;
    std::wstring simIndexes;  // "3,4,5"; empty when the SIM does not hold it
    bool unread = false;
    bool outgoing = false;
};

// The seconds since 1970 UTC of a time stamp given in the zone's local time.
long long UtcSeconds(int year, int month, int day, int hour, int minute, int second, int zoneQuarterHours);

enum class Folder { Inbox, Sent };

class MessageStore {
public:
    // On the product database (dbConnection), its tables made or brought up
    // to date.
    MessageStore();
    bool Ready() const { return ready_; }

    // Keeps the listed messages not kept before, in one transaction, and
    // returns how many were new (-1 when nothing could be written). A message
    // seen before (deleted here or not) is not kept twice; one kept while
    // parts were missing is completed when they have come.
    int Import(const std::vector<SimMessage>& messages);

    // Keeps a message sent from here; its id, or 0.
    long long AddSent(const std::wstring& to, const std::wstring& text, long long utc, int zoneQuarterHours);

    // The ids of a folder's messages, newest first: all of them, or those
    // whose sender or text holds search (any case).
    std::vector<long long> List(Folder folder, const std::wstring& search);

    bool Read(long long id, StoredMessage& message);
    bool MarkRead(long long id);

    // Deletes a message here. goneFromSim: the SIM no longer holds it either,
    // so nothing of it is kept; otherwise a trace is kept (sender, time, no
    // text) so the next import does not bring it back.
    bool Delete(long long id, bool goneFromSim);

    // Whether the SIM's message is the kept one (to delete it there too).
    static bool SameMessage(const StoredMessage& kept, const SimMessage& listed);

private:
    int ImportOne(const SimMessage& message);

    bool ready_ = false;
    kit::Statement findSeen_;
    kit::Statement findPartial_;
    kit::Statement updateIndexes_;
    kit::Statement complete_;
    kit::Statement insert_;
    kit::Statement listAll_;
    kit::Statement listMatching_;
    kit::Statement listLike_;
    kit::Statement read_;
    kit::Statement markRead_;
    kit::Statement forget_;
    kit::Statement erase_;
};

}  // namespace sms
