#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QVariantMap>

namespace test {

// python3-dbusmock's NetworkManager, with the project's additions (nm_template.py), on a private
// bus of the test's own: Bus() is what the link service is handed, and the methods below script
// NetworkManager as a user or another program would. Throws std::runtime_error when the bus or
// the mock cannot be started.
class NetworkManagerMock {
public:
    static constexpr std::uint32_t Activated = 2;
    static constexpr std::uint32_t Deactivated = 4;
    static inline const QString ManagerPath = "/org/freedesktop/NetworkManager";

    NetworkManagerMock();
    ~NetworkManagerMock();
    NetworkManagerMock(const NetworkManagerMock&) = delete;
    NetworkManagerMock& operator=(const NetworkManagerMock&) = delete;

    const QDBusConnection& Bus() const { return bus_; }

    // NetworkManager leaves the bus, and comes back as a new process knowing nothing.
    void Stop();
    void Start();

    // A method of the mock's control interface ("Reset", "AddEthernetDevice"…); returns its
    // first result.
    QVariant Mock(const QString& method, const QVariantList& arguments = {},
                  const QString& path = "/org/freedesktop") const;
    // A profile from its "connection" settings (id, type, interface-name…); returns its path.
    QString AddProfile(const QVariantMap& connection, std::uint32_t flags = 0) const;
    // Activation from outside: the profile's connection is then being activated.
    void Activate(const QString& profile) const;
    // Moves the profile's active connection on, with the reason NetworkManager would give.
    void SetState(const QString& profile, std::uint32_t state, std::uint32_t reason = 0) const;
    QStringList ActiveConnections() const;
    // How often the program (or the test) called a method of the manager.
    int ManagerCalls(const QString& method) const;

    // A method call that must succeed; returns its first result, throws with the error otherwise.
    QVariant Call(const QString& path, const QString& iface, const QString& method,
                  const QVariantList& arguments = {}) const;
    QVariant Property(const QString& path, const QString& iface, const QString& name) const;

private:
    void WaitForService(bool registered) const;

    QProcess daemon_;
    QProcess mock_;
    QDBusConnection bus_{QString()};
};

} // namespace test
