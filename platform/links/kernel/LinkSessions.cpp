#include "platform/links/kernel/LinkSessions.h"

#include <algorithm>

namespace platform {

void LinkSessions::Take(std::span<const Sighting> seen, TimePoint now, bool exhaustive)
{
    std::swap(previous_, sessions_);
    sessions_.clear();
    const TimePoint previousTime = time_;
    time_ = now;
    auto earlier = previous_.cbegin();
    for (const Sighting& sighting : seen) {
        while (earlier != previous_.cend() && earlier->link.index < sighting.link.index)
            ++earlier;
        const Session* before =
            earlier != previous_.cend() && earlier->link.index == sighting.link.index ? &*earlier
                                                                                      : nullptr;
        const bool samePhase =
            before && before->connected == sighting.connected && before->phase == sighting.phase;
        Session session{sighting, now, sighting.link.bytesReceived, sighting.link.bytesTransmitted};
        if (samePhase) {
            session.since = before->since;
            if (sighting.connected) {
                session.baseReceived = before->baseReceived;
                session.baseTransmitted = before->baseTransmitted;
            }
        } else if (sighting.connected && (before || previousExhaustive_)) {
            session.since = previousTime;
            session.baseReceived = before ? before->link.bytesReceived : 0;
            session.baseTransmitted = before ? before->link.bytesTransmitted : 0;
        }
        sessions_.push_back(session);
    }
    previousExhaustive_ = exhaustive;
}

void LinkSessions::Lose()
{
    sessions_.clear();
    previousExhaustive_ = false;
}

const LinkSessions::Session* LinkSessions::Find(std::uint32_t index) const
{
    const auto it = std::lower_bound(
        sessions_.begin(), sessions_.end(), index,
        [](const Session& session, std::uint32_t wanted) { return session.link.index < wanted; });
    return it != sessions_.end() && it->link.index == index ? &*it : nullptr;
}

RasStats LinkSessions::Statistics(const Session& session) const
{
    // For a link not connected `since` tells when it entered its phase: it has no connect time.
    const auto connectedFor =
        session.connected
            ? std::chrono::duration_cast<std::chrono::milliseconds>(time_ - session.since)
            : std::chrono::milliseconds{0};
    return {session.link.bytesReceived - session.baseReceived,
            session.link.bytesTransmitted - session.baseTransmitted,
            static_cast<std::uint32_t>(connectedFor.count())};
}

} // namespace platform
