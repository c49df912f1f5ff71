#include "traffic/LinkProbe.h"

#include <algorithm>
#include <array>
#include <cstring>

using namespace platform;

namespace {

// Polled every second: the records live on the stack, and the service is not asked again with
// a larger buffer when they do not suffice.
constexpr std::size_t MaxActiveConnections = 20;

} // namespace

bool IsEstablished(std::uint32_t state)
{
    return state == RasConnectedState;
}

bool IsClosable(std::uint32_t state)
{
    return state == RasConnectedState || state == RasDisconnectedState;
}

RasHandle FindConnection(RasApi& ras, const char* connectionName, StateTest accepts)
{
    std::array<RasConnection, MaxActiveConnections> connections;
    std::size_t count = 0;
    if (ras.EnumConnections(connections, count) != 0)
        return InvalidConnection;
    const auto active = std::span(connections).first(std::min(count, connections.size()));
    const auto match = std::find_if(active.begin(), active.end(), [&](const RasConnection& c) {
        return std::strncmp(c.entryName, connectionName, sizeof c.entryName) == 0;
    });
    if (match == active.end())
        return InvalidConnection;
    if (!accepts)
        return match->handle;
    std::uint32_t state = 0;
    if (ras.GetConnectStatus(match->handle, state) != 0 || !accepts(state))
        return InvalidConnection;
    return match->handle;
}

bool ReadStatistics(RasApi& ras, RasHandle connection, std::uint64_t& received,
                    std::uint64_t& transmitted, std::uint32_t& durationMs)
{
    received = 0;
    transmitted = 0;
    durationMs = 0;
    if (connection == InvalidConnection)
        return false;
    RasStats stats{};
    if (ras.GetConnectionStatistics(connection, stats) != 0)
        return false;
    received = stats.bytesReceived;
    transmitted = stats.bytesTransmitted;
    durationMs = stats.connectDurationMs;
    return true;
}
