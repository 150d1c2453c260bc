#include "MessageJoin.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <string_view>
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
// The sender is viewed in the part (a part in a group is never moved from).
struct GroupKey {
    bool outgoing;
    std::wstring_view sender;
    unsigned reference;
    int total;
    bool operator<(const GroupKey& other) const
    {
        return std::tie(outgoing, reference, total, sender) <
               std::tie(other.outgoing, other.reference, other.total, other.sender);
    }
};

// A part or message with the moment it sorts by, computed once.
template <typename T>
struct Sorted {
    long long key;
    int index;
    T item;
};

template <typename T>
void SortByMoment(std::vector<Sorted<T>>& items)
{
    std::stable_sort(items.begin(), items.end(), [](const Sorted<T>& a, const Sorted<T>& b) {
        return a.key != b.key ? a.key < b.key : a.index < b.index;
    });
}

// Takes the part's texts: the join owns its parts.
JoinedMessage FromSingle(StoredPart& part)
{
    JoinedMessage message;
    message.sender = std::move(part.pdu.sender);
    message.time = part.pdu.time;
    message.text = std::move(part.pdu.text);
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
    size_t length = 0;
    for (const StoredPart* part : group.slots)
        length += part ? part->pdu.text.size() : std::size(kMissingPartMarker) - 1;
    message.text.reserve(length);
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

std::vector<JoinedMessage> JoinParts(std::vector<StoredPart> parts)
{
    // Oldest first, so that a reference used again later starts the later message.
    std::vector<Sorted<StoredPart*>> ordered;
    ordered.reserve(parts.size());
    for (StoredPart& part : parts)
        ordered.push_back({SortKey(part.pdu.time), part.index, &part});
    SortByMoment(ordered);

    std::vector<Sorted<JoinedMessage>> messages;
    messages.reserve(parts.size());
    std::vector<Group> groups;
    std::map<GroupKey, std::vector<size_t>> groupsByKey;  // the groups of a key, oldest first
    for (const auto& [key, index, part] : ordered) {
        const DeliverPdu& pdu = part->pdu;
        if (!IsJoinable(pdu)) {
            messages.push_back({key, index, FromSingle(*part)});
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
    for (const Group& group : groups) {
        JoinedMessage message = FromGroup(group);
        const long long key = SortKey(message.time);
        const int lowest = *std::min_element(message.indexes.begin(), message.indexes.end());
        messages.push_back({key, lowest, std::move(message)});
    }
    SortByMoment(messages);

    std::vector<JoinedMessage> joined;
    joined.reserve(messages.size());
    for (auto& message : messages)
        joined.push_back(std::move(message.item));
    return joined;
}

}  // namespace marvik
