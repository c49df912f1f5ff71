#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <net/if.h>
#include <span>
#include <vector>

namespace platform {

// One network link as an rtnetlink link dump reports it.
struct LinkRecord {
    std::uint32_t index = 0;
    unsigned flags = 0;
    std::uint8_t operState = 0;
    bool hasCounters = false;
    std::uint64_t bytesReceived = 0;
    std::uint64_t bytesTransmitted = 0;
    char name[IFNAMSIZ] = {};
};

struct DumpProgress {
    bool done = false;
    // The kernel saw the set of links change while dumping, so the dump may miss some.
    bool interrupted = false;
};

// Reads one datagram of the link dump that answers `sequence` and appends its links. Replies to
// other requests are skipped. Returns 0, the errno the kernel answered with, EBADMSG for a
// malformed datagram or ENOBUFS once `links` would exceed `maxLinks`.
int ParseLinkDump(std::span<const std::byte> datagram, std::uint32_t sequence, std::size_t maxLinks,
                  std::vector<LinkRecord>& links, DumpProgress& progress);

// One whole dump into `links`: `dumpOnce(links, progress)` is asked again, with `links` emptied,
// while the kernel says the list changed during the dump, three times at most, since such a dump
// may miss a link or list one twice. Returns 0, the first error of `dumpOnce`, or EAGAIN when
// every dump was interrupted; `links` is empty unless the result is 0.
int DumpWhole(std::vector<LinkRecord>& links,
              const std::function<int(std::vector<LinkRecord>&, DumpProgress&)>& dumpOnce);

// Reads the acknowledgement of request `sequence`: sets `answered` once found and returns the
// errno it carries (0 for success), or EBADMSG for a malformed datagram.
int ParseAck(std::span<const std::byte> datagram, std::uint32_t sequence, bool& answered);

} // namespace platform
