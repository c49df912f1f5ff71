#include "platform/FakeRasApi.h"

#include <algorithm>
#include <cstring>

namespace test {

using namespace platform;

namespace {

void CopyName(char (&target)[RasMaxEntryName + 1], const std::string& name)
{
    const std::size_t length = std::min(name.size(), RasMaxEntryName);
    std::memcpy(target, name.data(), length);
    target[length] = '\0';
}

} // namespace

FakeRasApi::Connection& FakeRasApi::Add(const std::string& entry, RasHandle handle)
{
    Connection connection;
    connection.entry = entry;
    connection.handle = handle;
    return connections.emplace_back(connection);
}

FakeRasApi::Connection* FakeRasApi::Find(const std::string& entry)
{
    const auto it = std::find_if(connections.begin(), connections.end(),
                                 [&](const Connection& c) { return c.entry == entry; });
    return it == connections.end() ? nullptr : &*it;
}

FakeRasApi::Connection* FakeRasApi::ByHandle(RasHandle handle)
{
    const auto it = std::find_if(connections.begin(), connections.end(),
                                 [&](const Connection& c) { return c.handle == handle; });
    return it == connections.end() ? nullptr : &*it;
}

std::uint32_t FakeRasApi::EnumConnections(std::span<RasConnection> buffer, std::size_t& count)
{
    ++rasCalls;
    count = 0;
    if (enumError != 0)
        return enumError;
    if (connections.size() > buffer.size())
        return RasErrorBufferTooSmall;
    for (const auto& connection : connections) {
        buffer[count].handle = connection.handle;
        CopyName(buffer[count].entryName, connection.entry);
        ++count;
    }
    return 0;
}

std::uint32_t FakeRasApi::GetConnectStatus(RasHandle handle, std::uint32_t& state)
{
    ++rasCalls;
    const Connection* connection = ByHandle(handle);
    if (!connection)
        return RasErrorInvalidHandle;
    if (connection->statusError != 0)
        return connection->statusError;
    state = connection->state;
    return 0;
}

std::uint32_t FakeRasApi::GetConnectionStatistics(RasHandle handle, RasStats& stats)
{
    ++rasCalls;
    const Connection* connection = ByHandle(handle);
    if (!connection)
        return RasErrorInvalidHandle;
    if (connection->statsError != 0)
        return connection->statsError;
    stats = connection->stats;
    return 0;
}

std::uint32_t FakeRasApi::HangUp(RasHandle handle)
{
    ++rasCalls;
    hungUp.push_back(handle);
    if (hangUpResult != 0)
        return hangUpResult;
    std::erase_if(connections, [&](const Connection& c) { return c.handle == handle; });
    return 0;
}

bool FakeRasApi::DialDlg(const char* entry, std::uint32_t& error)
{
    ++rasCalls;
    dialled.emplace_back(entry);
    error = 0;
    if (dial)
        return dial(entry, error);
    Add(entry, 1000 + static_cast<RasHandle>(dialled.size()));
    return true;
}

std::uint32_t FakeRasApi::EnumEntries(std::span<RasEntryName> buffer, std::size_t& count)
{
    ++rasCalls;
    count = 0;
    if (entriesError != 0)
        return entriesError;
    if (entries.size() > buffer.size())
        return RasErrorBufferTooSmall;
    for (const auto& entry : entries)
        CopyName(buffer[count++].name, entry);
    return 0;
}

} // namespace test
