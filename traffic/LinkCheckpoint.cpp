#include "traffic/LinkCheckpoint.h"

#include <algorithm>
#include <array>

namespace {

// Marks the record's form: anything else stored under its name is no checkpoint.
constexpr std::array<unsigned char, 4> Tag{'Q', 'L', 'C', '1'};
// The tag, then base received and transmitted, day, namespace cookie (8 bytes each), period start
// and interface index (4 each).
constexpr std::size_t NumbersSize = Tag.size() + 4 * 8 + 2 * 4;
constexpr std::array Texts{&LinkIdentity::bootId, &LinkIdentity::interfaceName,
                           &LinkIdentity::activeConnection, &LinkIdentity::entry};

unsigned char* Put(unsigned char* at, std::uint64_t value, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i)
        *at++ = static_cast<unsigned char>(value >> (8 * i));
    return at;
}

std::uint64_t Take(const unsigned char*& at, std::size_t size)
{
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i)
        value |= std::uint64_t{*at++} << (8 * i);
    return value;
}

} // namespace

bool Provable(const LinkIdentity& link)
{
    return !link.bootId.empty() && link.namespaceCookie != 0 && link.interfaceIndex != 0 &&
           !link.interfaceName.empty() && !link.entry.empty();
}

// Unsigned arithmetic wraps: base and sums add up to the counters whatever their sizes.
LinkCheckpoint CheckpointOf(const LinkIdentity& link, const ByteCounts& counters,
                            const PeriodSums& sums, std::int64_t day)
{
    return {
        link,
        {counters.received - sums.bytes.received, counters.transmitted - sums.bytes.transmitted},
        sums.periodStart,
        day};
}

void EncodeCheckpoint(const LinkCheckpoint& checkpoint, std::vector<unsigned char>& bytes)
{
    std::size_t size = NumbersSize;
    for (const auto text : Texts)
        size += 1 + (checkpoint.link.*text).size();
    bytes.resize(size);
    unsigned char* at = std::copy(Tag.begin(), Tag.end(), bytes.data());
    at = Put(at, checkpoint.base.received, 8);
    at = Put(at, checkpoint.base.transmitted, 8);
    at = Put(at, static_cast<std::uint64_t>(checkpoint.day), 8);
    at = Put(at, checkpoint.link.namespaceCookie, 8);
    at = Put(at, checkpoint.periodStart, 4);
    at = Put(at, checkpoint.link.interfaceIndex, 4);
    for (const auto text : Texts) {
        const std::string_view value = checkpoint.link.*text;
        *at++ = static_cast<unsigned char>(value.size());
        at = std::copy(value.begin(), value.end(), at);
    }
}

std::optional<LinkCheckpoint> DecodeCheckpoint(std::span<const unsigned char> bytes)
{
    if (bytes.size() < NumbersSize || !std::equal(Tag.begin(), Tag.end(), bytes.begin()))
        return std::nullopt;
    LinkCheckpoint checkpoint;
    const unsigned char* at = bytes.data() + Tag.size();
    checkpoint.base.received = Take(at, 8);
    checkpoint.base.transmitted = Take(at, 8);
    checkpoint.day = static_cast<std::int64_t>(Take(at, 8));
    checkpoint.link.namespaceCookie = Take(at, 8);
    checkpoint.periodStart = static_cast<std::uint32_t>(Take(at, 4));
    checkpoint.link.interfaceIndex = static_cast<std::uint32_t>(Take(at, 4));
    const unsigned char* const end = bytes.data() + bytes.size();
    for (const auto text : Texts) {
        if (at == end || *at >= end - at)
            return std::nullopt;
        checkpoint.link.*text = {reinterpret_cast<const char*>(at + 1), *at};
        at += 1 + *at;
    }
    if (at != end)
        return std::nullopt;
    return checkpoint;
}

std::optional<ByteCounts> UncountedSince(const LinkCheckpoint& stored, const PeriodSums& sums,
                                         const LinkIdentity& now, const ByteCounts& counters)
{
    if (!Provable(now) || stored.link != now || stored.periodStart != sums.periodStart)
        return std::nullopt;
    // The link's counters at the last count.
    const ByteCounts last{stored.base.received + sums.bytes.received,
                          stored.base.transmitted + sums.bytes.transmitted};
    if (counters.received < last.received || counters.transmitted < last.transmitted)
        return std::nullopt;
    return ByteCounts{counters.received - last.received, counters.transmitted - last.transmitted};
}

std::vector<unsigned char> CheckpointAfterReset(std::span<const unsigned char> stored,
                                                const PeriodSums& sums,
                                                std::uint32_t nextPeriodStart)
{
    std::vector<unsigned char> bytes;
    std::optional<LinkCheckpoint> checkpoint = DecodeCheckpoint(stored);
    if (checkpoint && checkpoint->periodStart == sums.periodStart) {
        checkpoint->base.received += sums.bytes.received;
        checkpoint->base.transmitted += sums.bytes.transmitted;
        checkpoint->periodStart = nextPeriodStart;
        EncodeCheckpoint(*checkpoint, bytes);
    }
    return bytes;
}
