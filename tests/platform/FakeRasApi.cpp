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

// Copies the records `fill` makes into `buffer` as the service does, or fails as it does.
template <class Record, class Source>
std::uint32_t Enumerate(std::span<Record> buffer, std::size_t& count, std::uint32_t error,
                        const std::vector<Source>& sources, auto fill)
{
    count = 0;
    if (error != 0)
        return error;
    if (sources.size() > buffer.size())
        return RasErrorBufferTooSmall;
    for (const Source& source : sources)
        fill(buffer[count++], source);
    return 0;
}

} // namespace

FakeRasApi::Connection& FakeRasApi::Add(const std::string& entry, RasHandle handle)
{
    return connections.emplace_back(Connection{handle, entry});
}

FakeRasApi::Connection* FakeRasApi::Find(const std::string& entry)
{
    const auto it = std::ranges::find(connections, entry, &Connection::entry);
    return it == connections.end() ? nullptr : &*it;
}

FakeRasApi::Connection* FakeRasApi::Find(RasHandle handle)
{
    const auto it = std::ranges::find(connections, handle, &Connection::handle);
    return it == connections.end() ? nullptr : &*it;
}

std::uint32_t FakeRasApi::EnumConnections(std::span<RasConnection> buffer, std::size_t& count)
{
    return Enumerate(buffer, count, enumError, connections, [](auto& record, auto& connection) {
        record.handle = connection.handle;
        CopyName(record.entryName, connection.entry);
    });
}

std::uint32_t FakeRasApi::GetConnectStatus(RasHandle handle, std::uint32_t& state)
{
    const Connection* connection = Find(handle);
    if (connection && connection->statusError == 0)
        state = connection->state;
    return connection ? connection->statusError : RasErrorInvalidHandle;
}

std::uint32_t FakeRasApi::GetConnectionStatistics(RasHandle handle, RasStats& stats)
{
    const Connection* connection = Find(handle);
    if (connection && connection->statsError == 0)
        stats = connection->stats;
    return connection ? connection->statsError : RasErrorInvalidHandle;
}

std::uint32_t FakeRasApi::HangUp(RasHandle handle)
{
    hungUp.push_back(handle);
    if (hangUpResult == 0)
        std::erase_if(connections, [&](const Connection& c) { return c.handle == handle; });
    return hangUpResult;
}

bool FakeRasApi::DialDlg(const char* entry, std::uint32_t& error)
{
    dialled.emplace_back(entry);
    error = 0;
    if (dial)
        return dial(entry, error);
    Add(entry, 1000 + static_cast<RasHandle>(dialled.size()));
    return true;
}

std::uint32_t FakeRasApi::EnumEntries(std::span<RasEntryName> buffer, std::size_t& count)
{
    return Enumerate(buffer, count, entriesError, entries,
                     [](auto& record, auto& entry) { CopyName(record.name, entry); });
}

} // namespace test
