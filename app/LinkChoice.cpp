#include "app/LinkChoice.h"

#include "platform/KernelLinks.h"
#include "platform/NetworkManagerLinks.h"

#include <QDBusConnectionInterface>

std::unique_ptr<platform::RasApi> ChooseLinks(const QStringList& arguments,
                                              const QDBusConnection& systemBus)
{
    const QString option = "--links=";
    QString forced;
    for (const QString& argument : arguments) {
        if (argument.startsWith(option))
            forced = argument.mid(option.size());
    }
    const bool networkManager =
        forced.isEmpty()
            ? systemBus.isConnected() &&
                  systemBus.interface()->isServiceRegistered("org.freedesktop.NetworkManager")
            : forced == "networkmanager";
    if (networkManager)
        return std::make_unique<platform::NetworkManagerLinks>(systemBus);
    if (forced.isEmpty() || forced == "kernel")
        return std::make_unique<platform::KernelLinks>();
    return nullptr;
}
