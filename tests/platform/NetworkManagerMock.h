#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QTemporaryDir>
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

    NetworkManagerMock();
    ~NetworkManagerMock();
    NetworkManagerMock(const NetworkManagerMock&) = delete;
    NetworkManagerMock& operator=(const NetworkManagerMock&) = delete;

    const QDBusConnection& Bus() const { return bus_; }
    QString Address() const { return address_; }

    // NetworkManager leaves the bus, and comes back as a new process knowing nothing.
    void Stop();
    void Start();
    // Back to no devices, no profiles, no recorded calls.
    void Reset();

    // A profile from its "connection" settings (id, type, interface-name…); returns its path.
    QString AddProfile(const QVariantMap& connection);
    void SetProfileFlags(const QString& profile, std::uint32_t flags);
    QString AddEthernet(const QString& name, const QString& interface);
    QString AddModem(const QString& name, const QString& control, const QString& ipInterface);
    // Activation from outside: the profile's connection is then being activated.
    QString Activate(const QString& profile);
    // Moves the profile's active connection on, with the reason NetworkManager would give.
    void SetState(const QString& profile, std::uint32_t state, std::uint32_t reason = 0);
    QStringList ActiveConnections() const;
    // How often the program (or the test) called a method of the manager.
    int ManagerCalls(const QString& method) const;

    // A method call that must succeed; throws with the error otherwise.
    QDBusMessage Call(const QString& path, const QString& iface, const QString& method,
                      const QVariantList& arguments = {}) const;
    QVariant Property(const QString& path, const QString& iface, const QString& name) const;

private:
    QTemporaryDir dir_;
    QProcess daemon_;
    QProcess mock_;
    QString address_;
    QString connectionName_;
    QDBusConnection bus_{QString()};
};

} // namespace test
