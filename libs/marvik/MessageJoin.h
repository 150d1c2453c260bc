// The modem's stored message parts put together into the messages a user
// reads: the parts of a concatenated message joined in order, each message
// listing every storage index it came from (deleting it deletes them all).
#pragma once

#include "Pdu.h"

#include <string>
#include <vector>

namespace marvik {

// +CMGL <stat> (27.005 3.1): 0 received unread, 1 received read, 2 stored
// unsent, 3 stored sent.
constexpr int kStatusUnread = 0;
constexpr int kStatusRead = 1;

struct StoredPart {
    int index = 0;   // storage index, for AT+CMGR / AT+CMGD
    int status = 0;
    DeliverPdu pdu;
};

struct JoinedMessage {
    std::wstring sender;   // the sender, or the recipient of an outgoing message
    SmsTime time;          // the earliest part's time stamp
    std::wstring text;
    int status = 0;        // unread when any part is unread, else the first part's
    std::vector<int> indexes;  // every part's storage index, in part order
    int partsTotal = 1;
    bool complete = true;  // false when parts are missing: the text shows kMissingPartMarker for each
};

// Where a missing part's text would be.
inline constexpr wchar_t kMissingPartMarker[] = L"[\x2026]";

// Joins concatenated parts that share sender, direction, reference and part
// count, ordered by part number; single parts pass through. A part number
// seen twice in a group starts another message (the sender used the
// reference again), so nothing is dropped. Surrogates left alone by a split
// become U+FFFD. Ordered by time stamp, oldest first, then by storage index.
// Takes the parts by value: pass them with std::move when they are not needed
// afterwards, and their texts move into the messages instead of being copied.
std::vector<JoinedMessage> JoinParts(std::vector<StoredPart> parts);

}  // namespace marvik
