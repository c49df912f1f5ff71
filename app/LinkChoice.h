#pragma once

#include "platform/RasApi.h"

#include <QDBusConnection>
#include <QStringList>
#include <memory>

// The link service the entries come from: NetworkManager's profiles when NetworkManager owns its
// name on the system bus at start, the kernel's network links otherwise. `--links=kernel` or
// `--links=networkmanager` among the program's arguments forces one; null for any other value.
std::unique_ptr<platform::RasApi> ChooseLinks(const QStringList& arguments,
                                              const QDBusConnection& systemBus);
