#pragma once

#include "settings/RegEntry.h"
#include "settings/Registry.h"

#include <filesystem>

// Every setting of the program and the overall traffic counters, read once when the catalogue is
// built and written through on every change. Members are named after their stored value names and
// are built in this order, which is also the order in which a first run creates them.
class CRegVars {
public:
    static constexpr const char* KeyPath = "HKEY_CURRENT_USER\\Software\\Quillmar";

    // Read-only, the settings missing from the store read as their defaults.
    explicit CRegVars(const std::filesystem::path& storeFile,
                      CRegistry::Access access = CRegistry::Access::ReadWrite);

    CRegistry Registry;

    CRegSZ Connection;
    CRegDWORD BandwidthRX;
    CRegDWORD BandwidthTX;
    CRegDWORD AutoConnect;
    CRegDWORD KeepConnected;
    CRegDWORD KeepAliveEnabled;
    CRegDWORD KeepAliveTime;
    CRegSZ KeepAliveHost;
    CRegDWORD HistoryScaling;
    CRegDWORD HistoryUpdateSpeed;
    CRegDWORD ShowMore;
    CRegDWORD SumRXHi;
    CRegDWORD SumRXLo;
    CRegDWORD SumTXHi;
    CRegDWORD SumTXLo;
    CRegDWORD TrafficLimit;
    CRegDWORD OnLimitShowMessage;
    CRegDWORD OnLimitCloseConnection;
    CRegDWORD LimitAutoReset;
    CRegDWORD LimitLastReset;
    CRegDWORD DynDNSAutoUpdate;
    CRegSZ DynDNSHostname;
    CRegSZ DynDNSUsername;
    CRegSZ DynDNSPassword;
    CRegDWORD StartMinimized;
    CRegDWORD InfoShown;
    // Added after the original values, so that their order and bytes stay as they were.
    CRegDWORD HintsAsNotifications;
    // The watched link against the sums (traffic/LinkCheckpoint), stored only once it is counted.
    CRegBinary LinkCheckpoint;
};
