#include "platform/ActivationWatch.h"

#include "platform/DialProgress.h"
#include "platform/NetworkManagerBus.h"
#include "platform/NetworkManagerRules.h"
#include "platform/RasApi.h"

#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <cerrno>

namespace platform {

namespace {

// How often to ask after a connection that may have vanished without a word.
constexpr std::chrono::milliseconds PollInterval{500};

} // namespace

ActivationWatch::ActivationWatch(const QDBusConnection& bus, const QString& owner,
                                 DialProgress& dialog)
    : bus_(bus), owner_(owner), dialog_(dialog)
{
    connect(&poll_, &QTimer::timeout, this, &ActivationWatch::Check);
    // Every connection's, from before the request: one that fails at once must not have its
    // reason lost before its path is known.
    bus_.connect(owner_, QString(), nm::ActiveIface, "StateChanged", this,
                 SLOT(StateChanged(uint, uint, QDBusMessage)));
}

ActivationWatch::~ActivationWatch()
{
    bus_.disconnect(owner_, QString(), nm::ActiveIface, "StateChanged", this,
                    SLOT(StateChanged(uint, uint, QDBusMessage)));
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
    for (const auto& [path, state, reason] : early_) {
        if (path == active_)
            Changed(state, reason);
    }
    Check();
    poll_.start(PollInterval);
}

void ActivationWatch::GiveUp()
{
    if (!active_.isEmpty()) {
        nm::Deactivate(bus_, owner_, active_);
    } else if (pending_) {
        pending_->disconnect(this);
        pending_->setParent(nullptr);
        connect(pending_, &QDBusPendingCallWatcher::finished,
                [bus = bus_, owner = owner_](QDBusPendingCallWatcher* answer) {
                    answer->deleteLater();
                    const QDBusPendingReply<QDBusObjectPath> reply = *answer;
                    if (!reply.isError())
                        nm::Deactivate(bus, owner, reply.value().path());
                });
    }
}

void ActivationWatch::StateChanged(uint state, uint reason, const QDBusMessage& signal)
{
    if (active_.isEmpty())
        early_.push_back({signal.path(), state, reason});
    else if (signal.path() == active_)
        Changed(state, reason);
}

void ActivationWatch::Changed(std::uint32_t state, std::uint32_t reason)
{
    if (state == nm::ActiveActivated)
        End(true, 0);
    else if (state != nm::ActiveActivating)
        End(false, nm::FailureCode(reason));
}

// A state change seen here may have its signal, which carries the reason, still queued: the
// verdict waits behind it.
void ActivationWatch::Check()
{
    QVariant state;
    const std::uint32_t error = nm::Get(bus_, owner_, active_, nm::ActiveIface, "State", state);
    if (error == 0 && state.toUInt() == nm::ActiveActivated) {
        End(true, 0);
    } else if (error == RasErrorInvalidHandle || error == ECONNREFUSED ||
               (error == 0 && state.toUInt() != nm::ActiveActivating)) {
        const std::uint32_t verdict = error == ECONNREFUSED ? error : nm::VanishedError;
        QMetaObject::invokeMethod(
            this, [this, verdict] { End(false, verdict); }, Qt::QueuedConnection);
    }
}

void ActivationWatch::End(bool activated, std::uint32_t error)
{
    if (ended_)
        return;
    ended_ = true;
    activated_ = activated;
    error_ = error;
    poll_.stop();
    dialog_.Finish();
}

} // namespace platform
