#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <chrono>
#include <cstdint>
#include <vector>

class DialProgress;
class QDBusPendingCallWatcher;

namespace platform {

namespace nm {
class Cache;
} // namespace nm

// Follows one activation to its end for the dial dialog: NetworkManager's answer to the request,
// then the connection's state as the cache of NetworkManager's state learns it. The dialog is told
// once the connection is activated, has failed or is gone.
class ActivationWatch : public QObject {
    Q_OBJECT

public:
    ActivationWatch(const QDBusConnection& bus, const nm::Cache& cache, DialProgress& dialog);

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

private:
    struct Change {
        QString path;
        std::uint32_t state;
        std::uint32_t reason;
    };

    void StateChanged(const QString& path, std::uint32_t state, std::uint32_t reason);
    void Check();
    void End(bool activated, std::uint32_t error);

    QDBusConnection bus_;
    const nm::Cache& cache_;
    // The NetworkManager asked: the dial ends with it.
    QString owner_;
    DialProgress& dialog_;
    QString active_;
    // Changes seen before the request was answered.
    std::vector<Change> early_;
    QDBusPendingCallWatcher* pending_ = nullptr;
    bool listed_ = false;
    bool ended_ = false;
    bool activated_ = false;
    std::uint32_t error_ = 0;
};

} // namespace platform
