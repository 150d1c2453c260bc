#include "MessageJoin.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace marvik {

namespace {

// Seconds since 2000 UTC: the order of messages.
long long SortKey(const SmsTime& time)
{
    return MinutesUtc(time) * 60 + time.second;
}

// The parts of one concatenated message, by part number (slot 0 is part 1).
struct Group {
    std::vector<const StoredPart*> slots;
};

// Parts belong together when direction, sender, reference and count agree.
using GroupKey = std::tuple<bool, std::wstring, unsigned, int>;

JoinedMessage FromSingle(const StoredPart& part)
{
    JoinedMessage message;
    message.sender = part.pdu.sender;
    message.time = part.pdu.time;
    message.text = part.pdu.text;
    ReplaceLoneSurrogates(message.text);
    message.status = part.status;
    message.indexes.push_back(part.index);
    return message;
}

JoinedMessage FromGroup(const Group& group)
{
    JoinedMessage message;
    message.partsTotal = static_cast<int>(group.slots.size());
    const StoredPart* first = nullptr;
    long long earliest = 0;
    bool unread = false;
    for (const StoredPart* part : group.slots) {
        if (!part) {
            message.complete = false;
            message.text += kMissingPartMarker;
            continue;
        }
        message.text += part->pdu.text;
        message.indexes.push_back(part->index);
        unread = unread || part->status == kStatusUnread;
        const long long key = SortKey(part->pdu.time);
        if (!first || key < earliest) {
            earliest = key;
            message.time = part->pdu.time;
        }
        if (!first) {
            first = part;
            message.sender = part->pdu.sender;
            message.status = part->status;
        }
    }
    if (unread)
        message.status = kStatusUnread;
    ReplaceLoneSurrogates(message.text);  // a pair split between two parts is whole again by now
    return message;
}

bool IsJoinable(const DeliverPdu& pdu)
{
    return pdu.concatenated && pdu.partsTotal > 1 && pdu.partNumber >= 1 && pdu.partNumber <= pdu.partsTotal;
}

}  // namespace

std::vector<JoinedMessage> JoinParts(const std::vector<StoredPart>& parts)
{
    // Oldest first, so that a reference used again later starts the later message.
    std::vector<const StoredPart*> ordered;
    ordered.reserve(parts.size());
    for (const StoredPart& part : parts)
        ordered.push_back(&part);
    std::stable_sort(ordered.begin(), ordered.end(), [](const StoredPart* a, const StoredPart* b) {
        const long long ka = SortKey(a->pdu.time), kb = SortKey(b->pdu.time);
        return ka != kb ? ka < kb : a->index < b->index;
    });

    std::vector<JoinedMessage> messages;
    std::vector<Group> groups;
    std::map<GroupKey, std::vector<size_t>> groupsByKey;  // groups of a key, oldest first
    for (const StoredPart* part : ordered) {
        const DeliverPdu& pdu = part->pdu;
        if (!IsJoinable(pdu)) {
            messages.push_back(FromSingle(*part));
            continue;
        }
        std::vector<size_t>& candidates = groupsByKey[{pdu.outgoing, pdu.sender, pdu.reference, pdu.partsTotal}];
        const size_t slot = static_cast<size_t>(pdu.partNumber - 1);
        auto free = std::find_if(candidates.begin(), candidates.end(),
                                 [&](size_t g) { return groups[g].slots[slot] == nullptr; });
        size_t group;
        if (free != candidates.end()) {
            group = *free;
        } else {
            group = groups.size();
            groups.push_back({std::vector<const StoredPart*>(static_cast<size_t>(pdu.partsTotal), nullptr)});
            candidates.push_back(group);
        }
        groups[group].slots[slot] = part;
    }
    for (const Group& group : groups)
        messages.push_back(FromGroup(group));

    std::stable_sort(messages.begin(), messages.end(), [](const JoinedMessage& a, const JoinedMessage& b) {
        const long long ka = SortKey(a.time), kb = SortKey(b.time);
        if (ka != kb)
            return ka < kb;
        return *std::min_element(a.indexes.begin(), a.indexes.end()) <
               *std::min_element(b.indexes.begin(), b.indexes.end());
    });
    return messages;
}

}  // namespace marvik
