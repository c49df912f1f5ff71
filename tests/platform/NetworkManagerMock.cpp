#include "platform/NetworkManagerMock.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QThread>
#include <atomic>
#include <chrono>
#include <stdexcept>

namespace test {

namespace {

const QString Service = "org.freedesktop.NetworkManager";
const QString MockIface = "org.freedesktop.DBus.Mock";
const QString ManagerPath = "/org/freedesktop/NetworkManager";

// Starting takes about a second on a quiet machine; a busy one is given much longer.
constexpr std::chrono::seconds StartLimit{30};

template <typename Done> void WaitFor(Done done, const char* what)
{
    const auto deadline = std::chrono::steady_clock::now() + StartLimit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            throw std::runtime_error(what);
        QThread::msleep(20);
    }
}

} // namespace

NetworkManagerMock::NetworkManagerMock()
{
    qDBusRegisterMetaType<QMap<QString, QVariantMap>>();
    static std::atomic<int> count = 0;
    connectionName_ = QString("quillmar-nm-mock-%1").arg(count++);
    daemon_.start("dbus-daemon",
                  {"--config-file=/usr/share/dbus-1/session.conf", "--nofork", "--print-address=1",
                   "--address=unix:path=" + dir_.filePath("bus")});
    if (!daemon_.waitForReadyRead(StartLimit.count() * 1000))
        throw std::runtime_error("dbus-daemon did not start");
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    bus_ = QDBusConnection::connectToBus(address_, connectionName_);
    if (!bus_.isConnected())
        throw std::runtime_error("cannot reach the test's bus");
    Start();
}

NetworkManagerMock::~NetworkManagerMock()
{
    Stop();
    QDBusConnection::disconnectFromBus(connectionName_);
    daemon_.kill();
    daemon_.waitForFinished();
}

void NetworkManagerMock::Start()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DBUS_SYSTEM_BUS_ADDRESS", address_);
    mock_.setProcessEnvironment(environment);
    mock_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    mock_.setStandardOutputFile(QProcess::nullDevice());
    mock_.start(QUILLMAR_PYTHON,
                {"-m", "dbusmock", "--system", "--template", QUILLMAR_NM_TEMPLATE});
    WaitFor([this] { return bus_.interface()->isServiceRegistered(Service).value(); },
            "the NetworkManager mock did not start");
}

void NetworkManagerMock::Stop()
{
    mock_.kill();
    mock_.waitForFinished();
    WaitFor([this] { return !bus_.interface()->isServiceRegistered(Service).value(); },
            "the NetworkManager mock did not leave the bus");
}

void NetworkManagerMock::Reset()
{
    Call("/org/freedesktop", MockIface, "Reset");
}

QDBusMessage NetworkManagerMock::Call(const QString& path, const QString& iface,
                                      const QString& method, const QVariantList& arguments) const
{
    QDBusMessage message = QDBusMessage::createMethodCall(Service, path, iface, method);
    message.setArguments(arguments);
    const QDBusMessage reply = bus_.call(message);
    if (reply.type() != QDBusMessage::ReplyMessage)
        throw std::runtime_error((method + ": " + reply.errorMessage()).toStdString());
    return reply;
}

QVariant NetworkManagerMock::Property(const QString& path, const QString& iface,
                                      const QString& name) const
{
    return Call(path, "org.freedesktop.DBus.Properties", "Get", {iface, name})
        .arguments()
        .value(0)
        .value<QDBusVariant>()
        .variant();
}

QString NetworkManagerMock::AddProfile(const QVariantMap& connection)
{
    QMap<QString, QVariantMap> settings{{"connection", connection}};
    return Call(ManagerPath + "/Settings", Service + ".Settings", "AddConnection",
                {QVariant::fromValue(settings)})
        .arguments()
        .value(0)
        .value<QDBusObjectPath>()
        .path();
}

void NetworkManagerMock::SetProfileFlags(const QString& profile, std::uint32_t flags)
{
    Call(profile, MockIface, "AddProperty",
         {Service + ".Settings.Connection", "Flags", QVariant::fromValue(QDBusVariant(flags))});
}

QString NetworkManagerMock::AddEthernet(const QString& name, const QString& interface)
{
    return Call(ManagerPath, MockIface, "AddEthernetDevice", {name, interface, 30})
        .arguments()
        .value(0)
        .toString();
}

QString NetworkManagerMock::AddModem(const QString& name, const QString& control,
                                     const QString& ipInterface)
{
    return Call(ManagerPath, MockIface, "AddModemDevice", {name, control, ipInterface})
        .arguments()
        .value(0)
        .toString();
}

QString NetworkManagerMock::Activate(const QString& profile)
{
    const QVariant none = QVariant::fromValue(QDBusObjectPath("/"));
    return Call(ManagerPath, Service, "ActivateConnection",
                {QVariant::fromValue(QDBusObjectPath(profile)), none, none})
        .arguments()
        .value(0)
        .value<QDBusObjectPath>()
        .path();
}

void NetworkManagerMock::SetState(const QString& profile, std::uint32_t state, std::uint32_t reason)
{
    Call("/org/freedesktop", MockIface, "SetProfileState",
         {QVariant::fromValue(QDBusObjectPath(profile)), state, reason});
}

QStringList NetworkManagerMock::ActiveConnections() const
{
    QStringList paths;
    for (const QDBusObjectPath& path :
         qdbus_cast<QList<QDBusObjectPath>>(Property(ManagerPath, Service, "ActiveConnections")))
        paths << path.path();
    return paths;
}

int NetworkManagerMock::ManagerCalls(const QString& method) const
{
    const QDBusArgument calls = Call(ManagerPath, MockIface, "GetMethodCalls", {method})
                                    .arguments()
                                    .value(0)
                                    .value<QDBusArgument>();
    int count = 0;
    calls.beginArray();
    while (!calls.atEnd()) {
        calls.beginStructure();
        qulonglong time = 0;
        QVariantList arguments;
        calls >> time >> arguments;
        calls.endStructure();
        ++count;
    }
    calls.endArray();
    return count;
}

} // namespace test
