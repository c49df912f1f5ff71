#pragma once

#include "platform/links/RasApi.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace test {

// A scripted remote-access service: tests set up connections, entries and failure codes, and
// read back which calls were made.
class FakeRasApi : public platform::RasApi {
public:
    struct Connection {
        platform::RasHandle handle = 1;
        std::string entry;
        std::uint32_t state = platform::RasConnectedState;
        platform::RasStats stats{};
        std::uint32_t statusError = 0, statsError = 0;
        platform::RasLinkIdentity identity{}; // fails as the statistics do
    };

    std::vector<Connection> connections;
    std::vector<std::string> entries;
    std::uint32_t enumError = 0, entriesError = 0, hangUpResult = 0;
    // Runs inside DialDlg; the default connects the entry at once. It may spin an event loop to
    // stand for the modal dial dialog.
    std::function<bool(const char* entry, std::uint32_t& error)> dial;
    std::vector<platform::RasHandle> hungUp;
    std::vector<std::string> dialled;

    Connection& Add(const std::string& entry, platform::RasHandle handle = 1)
    {
        return connections.emplace_back(Connection{handle, entry});
    }
    Connection* Find(const std::string& entry) { return Where(&Connection::entry, entry); }

    std::uint32_t EnumConnections(std::span<platform::RasConnection> buffer,
                                  std::size_t& count) override
    {
        return Enumerate(buffer, count, enumError, connections, [](auto& record, auto& source) {
            record.handle = source.handle;
            std::snprintf(record.entryName, sizeof record.entryName, "%s", source.entry.c_str());
        });
    }
    std::uint32_t GetConnectStatus(platform::RasHandle handle, std::uint32_t& state) override
    {
        return Read(handle, &Connection::statusError, &Connection::state, state);
    }
    std::uint32_t GetConnectionStatistics(platform::RasHandle handle,
                                          platform::RasStats& stats) override
    {
        return Read(handle, &Connection::statsError, &Connection::stats, stats);
    }
    std::uint32_t GetLinkIdentity(platform::RasHandle handle,
                                  platform::RasLinkIdentity& identity) override
    {
        return Read(handle, &Connection::statsError, &Connection::identity, identity);
    }
    void HangUp(platform::RasHandle handle, platform::HangUpAnswer answered) override
    {
        hungUp.push_back(handle);
        if (hangUpResult == 0)
            std::erase_if(connections, [&](const Connection& c) { return c.handle == handle; });
        answered(hangUpResult);
    }
    bool DialDlg(const char* entry, std::uint32_t& error) override
    {
        dialled.emplace_back(entry);
        error = 0;
        if (dial)
            return dial(entry, error);
        return Add(entry, 1000 + static_cast<platform::RasHandle>(dialled.size())), true;
    }
    std::uint32_t EnumEntries(std::span<platform::RasEntryName> buffer, std::size_t& count) override
    {
        return Enumerate(buffer, count, entriesError, entries, [](auto& record, auto& entry) {
            std::snprintf(record.name, sizeof record.name, "%s", entry.c_str());
        });
    }
    // Code 1 stands for a refusal for want of rights, as the kernel's EPERM.
    const char* MissingRight(std::uint32_t code) const override
    {
        return code == 1 ? "rights" : nullptr;
    }

private:
    // Copies the records `fill` makes into `buffer` as the service does, or fails as it does.
    static std::uint32_t Enumerate(auto buffer, std::size_t& count, std::uint32_t error,
                                   const auto& sources, auto fill)
    {
        count = 0;
        if (error != 0 || sources.size() > buffer.size())
            return error != 0 ? error : platform::RasErrorBufferTooSmall;
        for (const auto& source : sources)
            fill(buffer[count++], source);
        return 0;
    }
    Connection* Where(auto Connection::*field, const auto& value)
    {
        const auto it = std::ranges::find(connections, value, field);
        return it == connections.end() ? nullptr : &*it;
    }
    std::uint32_t Read(platform::RasHandle handle, std::uint32_t Connection::*error,
                       auto Connection::*value, auto& out)
    {
        const Connection* connection = Where(&Connection::handle, handle);
        if (connection && connection->*error == 0)
            out = connection->*value;
        return connection ? connection->*error : platform::RasErrorInvalidHandle;
    }
};

} // namespace test
