#include "settings/RegVars.h"

CRegVars::CRegVars(const std::filesystem::path& storeFile, CRegistry::Access access)
    : Registry(storeFile, KeyPath, access), Connection(Registry, "Connection", ""),
      BandwidthRX(Registry, "BandwidthRX", 1024), BandwidthTX(Registry, "BandwidthTX", 128),
      AutoConnect(Registry, "AutoConnect", 0), KeepConnected(Registry, "KeepConnected", 0),
      KeepAliveEnabled(Registry, "KeepAliveEnabled", 0),
      KeepAliveTime(Registry, "KeepAliveTime", 10), KeepAliveHost(Registry, "KeepAliveHost", ""),
      HistoryScaling(Registry, "HistoryScaling", 0),
      HistoryUpdateSpeed(Registry, "HistoryUpdateSpeed", 2), ShowMore(Registry, "ShowMore", 0),
      SumRXHi(Registry, "SumRXHi", 0), SumRXLo(Registry, "SumRXLo", 0),
      SumTXHi(Registry, "SumTXHi", 0), SumTXLo(Registry, "SumTXLo", 0),
      TrafficLimit(Registry, "TrafficLimit", 1000),
      OnLimitShowMessage(Registry, "OnLimitShowMessage", 1),
      OnLimitCloseConnection(Registry, "OnLimitCloseConnection", 0),
      LimitAutoReset(Registry, "LimitAutoReset", 0), LimitLastReset(Registry, "LimitLastReset", 0),
      DynDNSAutoUpdate(Registry, "DynDNSAutoUpdate", 0),
      DynDNSHostname(Registry, "DynDNSHostname", ""),
      DynDNSUsername(Registry, "DynDNSUsername", ""),
      DynDNSPassword(Registry, "DynDNSPassword", ""), StartMinimized(Registry, "StartMinimized", 0),
      InfoShown(Registry, "InfoShown", 0),
      HintsAsNotifications(Registry, "HintsAsNotifications", 0),
      LinkCheckpoint(Registry, "LinkCheckpoint")
{
}
