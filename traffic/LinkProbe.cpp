#include "traffic/LinkProbe.h"

#include <array>
#include <cstring>

platform::RasHandle FindConnection(platform::RasApi& ras, const char* connectionName,
                                   bool checkState)
{
    std::array<platform::RasConnection, 20> buffer;
    std::size_t count = 0;
    if (ras.EnumConnections(buffer, count) != 0)
        return InvalidConnection;
    for (std::size_t i = 0; i < count; ++i) {
        if (std::strcmp(buffer[i].entryName, connectionName) != 0)
            continue;
        if (!checkState)
            return buffer[i].handle;
        std::uint32_t state = 0;
        if (ras.GetConnectStatus(buffer[i].handle, state) != 0 ||
            state != platform::RasConnectedState)
            return InvalidConnection;
        return buffer[i].handle;
    }
    return InvalidConnection;
}

bool ReadStatistics(platform::RasApi& ras, platform::RasHandle connection, std::uint32_t& received,
                    std::uint32_t& transmitted, std::uint32_t& durationMs)
{
    received = transmitted = durationMs = 0;
    if (connection == InvalidConnection)
        return false;
    platform::RasStats stats{};
    if (ras.GetConnectionStatistics(connection, stats) != 0)
        return false;
    received = stats.bytesReceived;
    transmitted = stats.bytesTransmitted;
    durationMs = stats.connectDurationMs;
    return true;
}
