#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

class QObject;

namespace platform {

// The remote-access service as the program sees it: active connections of named entries, their
// state and statistics, hang-up, the dial dialog and the list of entries. Results are error codes
// (0 for success) so that every failure reaches the protocol with its number.
using RasHandle = std::uint32_t;

inline constexpr std::size_t RasMaxEntryName = 256;
inline constexpr std::size_t RasMaxInterfaceName = 15;
inline constexpr std::size_t RasMaxActiveConnection = 255;
// Any state below RasConnectedState is a connection still being set up.
inline constexpr std::uint32_t RasConnectingState = 2;
inline constexpr std::uint32_t RasConnectedState = 0x2000;
inline constexpr std::uint32_t RasDisconnectedState = 0x2001;
inline constexpr std::uint32_t RasErrorBufferTooSmall = 603;
inline constexpr std::uint32_t RasErrorInvalidHandle = 6;

struct RasConnection {
    RasHandle handle;
    char entryName[RasMaxEntryName + 1];
};

struct RasEntryName {
    char name[RasMaxEntryName + 1];
};

// Called with a hang-up's result.
using HangUpAnswer = std::function<void(std::uint32_t result)>;

// The byte counts are the kernel's 64-bit counts since the connection began: however long the
// program is held up between two polls, no wrap of a counter can hide traffic.
struct RasStats {
    std::uint64_t bytesReceived;
    std::uint64_t bytesTransmitted;
    std::uint32_t connectDurationMs;
};

// The link a connection is counted on, with the link's own counters: the kernel's since the link
// was made, not the connection's since it began. The same namespace, index and name in one boot are
// the same link, whose counters never go back.
struct RasLinkIdentity {
    std::uint64_t namespaceCookie; // the network namespace's, never reused in a boot; 0 unknown
    std::uint32_t interfaceIndex;
    char interfaceName[RasMaxInterfaceName + 1];
    // NetworkManager's active connection (its object path); empty for kernel links.
    char activeConnection[RasMaxActiveConnection + 1];
    std::uint64_t bytesReceived;
    std::uint64_t bytesTransmitted;
};

class RasApi {
public:
    virtual ~RasApi() = default;

    // Calls `ready`, while `context` lives, once the service knows which connections are up: at
    // once for a service that reads them when asked, later from the event loop for one that first
    // hears them over a bus.
    virtual void WhenReady(QObject* /*context*/, std::function<void()> ready) { ready(); }

    // Fills `buffer` with the active connections in the service's order; more than fit is
    // RasErrorBufferTooSmall and nothing is reported.
    virtual std::uint32_t EnumConnections(std::span<RasConnection> buffer, std::size_t& count) = 0;
    virtual std::uint32_t GetConnectStatus(RasHandle connection, std::uint32_t& state) = 0;
    virtual std::uint32_t GetConnectionStatistics(RasHandle connection, RasStats& stats) = 0;
    // From the same snapshot as the statistics.
    virtual std::uint32_t GetLinkIdentity(RasHandle connection, RasLinkIdentity& identity) = 0;
    // Takes the connection down and calls `answered` with the result once the service has
    // answered: before it returns, or, for a service asked over a bus, later from the event loop,
    // so that the caller never waits.
    virtual void HangUp(RasHandle connection, HangUpAnswer answered) = 0;
    // Dials `entry` and returns once done; window messages go on being dispatched meanwhile.
    // False with `error` set on failure, false with error 0 when the user cancelled.
    virtual bool DialDlg(const char* entry, std::uint32_t& error) = 0;
    // The entries that can be watched; more than fit is RasErrorBufferTooSmall.
    virtual std::uint32_t EnumEntries(std::span<RasEntryName> buffer, std::size_t& count) = 0;
    // The right whose want made the service refuse a dial or hang-up with `error`, named as an
    // administrator grants it; null for any other error.
    virtual const char* MissingRight(std::uint32_t error) const = 0;

protected:
    RasApi() = default;
    RasApi(const RasApi&) = delete;
    RasApi& operator=(const RasApi&) = delete;
};

} // namespace platform
