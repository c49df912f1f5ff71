#pragma once

#include "platform/RasApi.h"

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
        std::uint32_t statusError = 0;
        std::uint32_t statsError = 0;
    };

    std::vector<Connection> connections;
    std::uint32_t enumError = 0;
    std::vector<std::string> entries;
    std::uint32_t entriesError = 0;
    std::uint32_t hangUpResult = 0;
    // Runs inside DialDlg; the default connects the entry at once. It may spin an event loop to
    // stand for the modal dial dialog.
    std::function<bool(const char* entry, std::uint32_t& error)> dial;

    std::vector<platform::RasHandle> hungUp;
    std::vector<std::string> dialled;

    Connection& Add(const std::string& entry, platform::RasHandle handle = 1);
    Connection* Find(const std::string& entry);
    Connection* Find(platform::RasHandle handle);

    std::uint32_t EnumConnections(std::span<platform::RasConnection> buffer,
                                  std::size_t& count) override;
    std::uint32_t GetConnectStatus(platform::RasHandle connection, std::uint32_t& state) override;
    std::uint32_t GetConnectionStatistics(platform::RasHandle connection,
                                          platform::RasStats& stats) override;
    std::uint32_t HangUp(platform::RasHandle connection) override;
    bool DialDlg(const char* entry, std::uint32_t& error) override;
    std::uint32_t EnumEntries(std::span<platform::RasEntryName> buffer,
                              std::size_t& count) override;
};

} // namespace test
