#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <vector>

class DialProgress;
class QDBusPendingCallWatcher;

namespace platform {

// Follows one activation to its end for the dial dialog: NetworkManager's answer to the request,
// then the connection's state changes, and a look now and then for a connection gone without one.
// The dialog is told once the connection is activated, has failed or is gone.
class ActivationWatch : public QObject {
    Q_OBJECT

public:
    // `owner`: NetworkManager's unique bus name.
    ActivationWatch(const QDBusConnection& bus, const QString& owner, DialProgress& dialog);
    ~ActivationWatch() override;

    // Asks NetworkManager to activate `profile`. The user may be asked to authorise this, so the
    // answer may take as long as the dial.
    void Activate(const QString& profile, std::chrono::milliseconds limit);
    // Follows the active connection at path `active`.
    void Follow(const QString& active);
    // Takes down what the dial brought up, now or, while NetworkManager has not answered the
    // request yet, once it does.
    void GiveUp();

    bool Activated() const { return activated_; }
    std::uint32_t Error() const { return error_; }

public Q_SLOTS:
    void StateChanged(uint state, uint reason, const QDBusMessage& signal);

private:
    struct Change {
        QString path;
        std::uint32_t state;
        std::uint32_t reason;
    };

    void Changed(std::uint32_t state, std::uint32_t reason);
    void Check();
    void End(bool activated, std::uint32_t error);

    QDBusConnection bus_;
    QString owner_;
    DialProgress& dialog_;
    QString active_;
    // Changes seen before the request was answered.
    std::vector<Change> early_;
    QDBusPendingCallWatcher* pending_ = nullptr;
    QTimer poll_;
    bool ended_ = false;
    bool activated_ = false;
    std::uint32_t error_ = 0;
};

} // namespace platform
