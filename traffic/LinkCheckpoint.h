#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

// Bytes received and transmitted.
struct ByteCounts {
    std::uint64_t received = 0;
    std::uint64_t transmitted = 0;
    bool operator==(const ByteCounts&) const = default;
};

// The link a watched connection is counted on, and the connection. The same boot, network
// namespace, interface index and name, and (on NetworkManager) active connection are the same
// kernel counters, which never go back; any of them new, and they may have started again.
// Each text is at most 255 bytes.
struct LinkIdentity {
    std::string_view bootId;
    std::uint64_t namespaceCookie = 0;
    std::uint32_t interfaceIndex = 0;
    std::string_view interfaceName;
    std::string_view activeConnection; // empty for kernel links
    std::string_view entry;            // the watched connection's name
    bool operator==(const LinkIdentity&) const = default;
};

// The overall sums as stored, and the start of their period (packed), which only a reset changes.
struct PeriodSums {
    ByteCounts bytes;
    std::uint32_t periodStart = 0;
};

// Stored with the overall sums: the watched link, and `base`, its counters less the sums. While
// the program counts a connection, both grow by the same bytes, so the base changes only when a
// connection starts anew or the sums are reset, and the checkpoint is rewritten only then. What
// the link's counters hold beyond base and sums at the next start crossed uncounted, on the day
// of the last count (`day`, a Julian day). The period tells sums reset by a program that kept no
// checkpoint, such as an older one.
struct LinkCheckpoint {
    LinkIdentity link;
    ByteCounts base;
    std::uint32_t periodStart = 0;
    std::int64_t day = 0;
};

// False when a part of the identity is unknown: such a link is never taken for the one stored.
bool Provable(const LinkIdentity& link);

// The link with its own `counters` and the overall `sums` they were counted into.
LinkCheckpoint CheckpointOf(const LinkIdentity& link, const ByteCounts& counters,
                            const PeriodSums& sums, std::int64_t day);

// The stored form: the numbers in little-endian order, then the texts, each after its length.
void EncodeCheckpoint(const LinkCheckpoint& checkpoint, std::vector<unsigned char>& bytes);
// Nothing but a whole record decodes: a damaged or foreign one is no checkpoint. The texts point
// into `bytes`.
std::optional<LinkCheckpoint> DecodeCheckpoint(std::span<const unsigned char> bytes);

// The bytes `counters` gained beyond the stored checkpoint and `sums`, when `now` is provably its
// link, the sums are of its period and the counters have not gone back; nullopt otherwise, so
// that no gap is ever guessed.
std::optional<ByteCounts> UncountedSince(const LinkCheckpoint& stored, const PeriodSums& sums,
                                         const LinkIdentity& now, const ByteCounts& counters);

// The stored checkpoint once the sums go back to zero from `sums` for the period starting at
// `nextPeriodStart`: its base takes them up, as the link's counters do not go back with them.
// Empty when `stored` does not decode or is of another period.
std::vector<unsigned char> CheckpointAfterReset(std::span<const unsigned char> stored,
                                                const PeriodSums& sums,
                                                std::uint32_t nextPeriodStart);
