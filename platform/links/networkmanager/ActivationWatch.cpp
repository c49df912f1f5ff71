#include "platform/links/networkmanager/ActivationWatch.h"

#include "platform/links/networkmanager/DialProgress.h"
#include "platform/links/networkmanager/NetworkManagerBus.h"
#include "platform/links/networkmanager/NetworkManagerCache.h"
#include "platform/links/networkmanager/NetworkManagerRules.h"

#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <algorithm>
#include <cerrno>

namespace platform {

ActivationWatch::ActivationWatch(const QDBusConnection& bus, const nm::Cache& cache,
                                 DialProgress& dialog)
    : bus_(bus), cache_(cache), owner_(cache.Owner()), dialog_(dialog)
{
    // Every connection's, from before the request: one that fails at once must not have its
    // reason lost before its path is known.
    connect(&cache_, &nm::Cache::StateChanged, this, &ActivationWatch::StateChanged);
    connect(&cache_, &nm::Cache::Changed, this, &ActivationWatch::Check);
}

void ActivationWatch::Activate(const QString& profile, std::chrono::milliseconds limit)
{
    QDBusMessage message = nm::MethodCall(
        owner_, nm::ManagerPath, nm::ManagerIface, "ActivateConnection",
        {QVariant::fromValue(QDBusObjectPath(profile)), QVariant::fromValue(QDBusObjectPath("/")),
         QVariant::fromValue(QDBusObjectPath("/"))});
    message.setInteractiveAuthorizationAllowed(true);
    pending_ = new QDBusPendingCallWatcher(bus_.asyncCall(message, int(limit.count())), this);
    connect(pending_, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* answer) {
                answer->deleteLater();
                pending_ = nullptr;
                const QDBusPendingReply<QDBusObjectPath> reply = *answer;
                if (reply.isError())
                    End(false, nm::ErrorCode(reply.error().name().toStdString()));
                else
                    Follow(reply.value().path());
            });
}

void ActivationWatch::Follow(const QString& active)
{
    active_ = active;
    for (const auto& [path, state, reason] : early_)
        StateChanged(path, state, reason);
    Check();
}

void ActivationWatch::GiveUp()
{
    if (!active_.isEmpty()) {
        nm::SendDeactivate(bus_, owner_, active_);
    } else if (pending_) {
        pending_->disconnect(this);
        pending_->setParent(nullptr);
        connect(pending_, &QDBusPendingCallWatcher::finished,
                [bus = bus_, owner = owner_](QDBusPendingCallWatcher* answer) {
                    answer->deleteLater();
                    const QDBusPendingReply<QDBusObjectPath> reply = *answer;
                    if (!reply.isError())
                        nm::SendDeactivate(bus, owner, reply.value().path());
                });
    }
}

// Only a change of state carries the reason of a failure.
void ActivationWatch::StateChanged(const QString& path, std::uint32_t state, std::uint32_t reason)
{
    if (active_.isEmpty())
        early_.push_back({path, state, reason});
    else if (path == active_ && !nm::IsUp(state))
        End(false, nm::FailureCode(reason));
}

// Activated once the cache has it so, and the link service with it; gone once NetworkManager
// has dropped it from its list, or has gone itself.
void ActivationWatch::Check()
{
    if (cache_.Owner() != owner_) {
        End(false, ECONNREFUSED);
        return;
    }
    const auto connections = cache_.ActiveConnections();
    const auto active = std::find_if(connections.begin(), connections.end(),
                                     [&](const auto& a) { return a.path == active_; });
    if (active_.isEmpty() || (active == connections.end() && !listed_))
        return;
    listed_ = true;
    if (active == connections.end())
        End(false, nm::VanishedError);
    else if (active->read && active->state == nm::ActiveActivated)
        End(true, 0);
}

void ActivationWatch::End(bool activated, std::uint32_t error)
{
    if (ended_)
        return;
    ended_ = true;
    activated_ = activated;
    error_ = error;
    dialog_.Finish();
}

} // namespace platform
