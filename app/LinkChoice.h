#pragma once

#include "platform/links/RasApi.h"

#include <QDBusConnection>
#include <memory>

// Where the connections come from, as the command line asks.
enum class LinkService { Automatic, Kernel, NetworkManager };

// The link service the entries come from: NetworkManager's profiles when NetworkManager owns its
// name on the system bus at start, the kernel's network links otherwise, unless `forced` names one.
std::unique_ptr<platform::RasApi> ChooseLinks(LinkService forced, const QDBusConnection& systemBus);
