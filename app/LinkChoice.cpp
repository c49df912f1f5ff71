#include "app/LinkChoice.h"

#include "platform/links/kernel/KernelLinks.h"
#include "platform/links/networkmanager/NetworkManagerLinks.h"

#include <QDBusConnectionInterface>

std::unique_ptr<platform::RasApi> ChooseLinks(LinkService forced, const QDBusConnection& systemBus)
{
    const bool networkManager =
        forced == LinkService::Automatic
            ? systemBus.isConnected() &&
                  systemBus.interface()->isServiceRegistered("org.freedesktop.NetworkManager")
            : forced == LinkService::NetworkManager;
    if (networkManager)
        return std::make_unique<platform::NetworkManagerLinks>(systemBus);
    return std::make_unique<platform::KernelLinks>();
}
