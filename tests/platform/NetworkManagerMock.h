#pragma once

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QProcess>
#include <QTemporaryFile>
#include <QTest>
#include <csignal>
#include <stdexcept>

namespace test {

// python3-dbusmock's NetworkManager, with the project's additions (nm_template.py), on a private
// bus of the test's own: Bus() is what the link service is handed, and the methods below script
// NetworkManager as a user or another program would.
class NetworkManagerMock {
public:
    static constexpr std::uint32_t Activated = 2, Deactivated = 4;
    static inline const QString Service = "org.freedesktop.NetworkManager";
    static inline const QString ManagerPath = "/org/freedesktop/NetworkManager";

    NetworkManagerMock()
    {
        qDBusRegisterMetaType<QMap<QString, QVariantMap>>();
        daemon_.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        daemon_.waitForReadyRead(30'000);
        const QString address = QString::fromUtf8(daemon_.readLine()).trimmed();
        bus_ = QDBusConnection::connectToBus(address, Service);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DBUS_SYSTEM_BUS_ADDRESS", address);
        mock_.setProcessEnvironment(environment);
        mock_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        log_.open();
        mock_.setStandardOutputFile(log_.fileName(), QIODevice::Append); // a line for each call
        Start();
    }
    ~NetworkManagerMock()
    {
        for (QProcess* process : {&mock_, &daemon_})
            process->kill(), process->waitForFinished();
        QDBusConnection::disconnectFromBus(Service);
    }
    const QDBusConnection& Bus() const { return bus_; }

    // NetworkManager killed and started afresh, knowing nothing, or stalled and resumed.
    void Restart()
    {
        mock_.kill();
        mock_.waitForFinished();
        Start();
    }
    // SIGSTOP stalls it, SIGCONT resumes it.
    void Signal(int signal) const { ::kill(mock_.processId(), signal); }
    // The method calls NetworkManager has answered so far, the test's own included.
    qsizetype Calls() const
    {
        log_.seek(0);
        const QByteArray lines = log_.readAll();
        return lines.count('\n') - lines.count(" emit ");
    }

    // A method call that must succeed; returns its first result, throws with the error otherwise.
    QVariant Call(const QString& path, const QString& iface, const QString& method,
                  const QVariantList& arguments = {}) const
    {
        QDBusMessage message = QDBusMessage::createMethodCall(Service, path, iface, method);
        message.setArguments(arguments);
        const QDBusMessage reply = bus_.call(message);
        if (reply.type() != QDBusMessage::ReplyMessage)
            throw std::runtime_error((method + ": " + reply.errorMessage()).toStdString());
        return reply.arguments().value(0);
    }
    // A method of the mock's control interface ("AddEthernetDevice", "SetProperty"…).
    QVariant Mock(const QString& method, const QVariantList& arguments,
                  const QString& path = ManagerPath) const
    {
        return Call(path, "org.freedesktop.DBus.Mock", method, arguments);
    }
    QVariant Property(const QString& path, const QString& iface, const QString& name) const
    {
        return Call(path, "org.freedesktop.DBus.Properties", "Get", {iface, name})
            .value<QDBusVariant>()
            .variant();
    }
    static QVariant Path(const QString& path) { return QVariant::fromValue(QDBusObjectPath(path)); }
    static QVariant Variant(const QVariant& v) { return QVariant::fromValue(QDBusVariant(v)); }
    // A profile from its "connection" settings (id, type, `more`) and flags; returns its path.
    QString AddProfile(const QString& id, const QString& type, std::uint32_t flags = 0,
                       QVariantMap more = {}) const
    {
        more.insert({{"id", id}, {"type", type}});
        const QMap<QString, QVariantMap> settings{{"connection", more}};
        const QString path = Call(ManagerPath + "/Settings", Service + ".Settings", "AddConnection",
                                  {QVariant::fromValue(settings)})
                                 .value<QDBusObjectPath>()
                                 .path();
        if (flags != 0)
            Mock("AddProperty", {Service + ".Settings.Connection", "Flags", Variant(flags)}, path);
        return path;
    }
    // Moves the profile's active connection on, with the reason NetworkManager would give.
    void SetState(const QString& profile, std::uint32_t state, std::uint32_t reason = 0) const
    {
        Mock("SetProfileState", {Path(profile), state, reason}, "/org/freedesktop");
    }
    QList<QDBusObjectPath> ActiveConnections() const
    {
        return qdbus_cast<QList<QDBusObjectPath>>(
            Property(ManagerPath, Service, "ActiveConnections"));
    }
    // How often the program (or the test) called a method of the manager.
    int ManagerCalls(const QString& method) const
    {
        const auto calls = Mock("GetMethodCalls", {method}).value<QDBusArgument>();
        int count = 0;
        for (calls.beginArray(); !calls.atEnd(); ++count)
            calls.asVariant();
        calls.endArray(); // the reader of a level lives until its end
        return count;
    }

private:
    void Start()
    {
        mock_.start(QUILLMAR_PYTHON,
                    {"-m", "dbusmock", "--system", "--template", QUILLMAR_NM_TEMPLATE});
        // Starting takes about a second on a quiet machine; a busy one is given much longer. The
        // event loop runs on meanwhile.
        if (!QTest::qWaitFor([&] { return bus_.interface()->isServiceRegistered(Service).value(); },
                             30'000))
            throw std::runtime_error("the NetworkManager mock did not start");
    }

    mutable QTemporaryFile log_;
    QProcess daemon_;
    QProcess mock_;
    QDBusConnection bus_{QString()};
};

} // namespace test
