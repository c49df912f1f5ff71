#include "platform/NetworkManagerMock.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QThread>
#include <chrono>
#include <stdexcept>

namespace test {

namespace {

const QString Service = "org.freedesktop.NetworkManager";
const QString ConnectionName = "quillmar-nm-mock";

} // namespace

NetworkManagerMock::NetworkManagerMock()
{
    qDBusRegisterMetaType<QMap<QString, QVariantMap>>();
    daemon_.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
    daemon_.waitForReadyRead(30'000);
    const QString address = QString::fromUtf8(daemon_.readLine()).trimmed();
    bus_ = QDBusConnection::connectToBus(address, ConnectionName);
    if (!bus_.isConnected())
        throw std::runtime_error("cannot reach the test's bus");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DBUS_SYSTEM_BUS_ADDRESS", address);
    mock_.setProcessEnvironment(environment);
    mock_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    mock_.setStandardOutputFile(QProcess::nullDevice());
    Start();
}

NetworkManagerMock::~NetworkManagerMock()
{
    Stop();
    QDBusConnection::disconnectFromBus(ConnectionName);
    daemon_.kill();
    daemon_.waitForFinished();
}

void NetworkManagerMock::Start()
{
    mock_.start(QUILLMAR_PYTHON,
                {"-m", "dbusmock", "--system", "--template", QUILLMAR_NM_TEMPLATE});
    WaitForService(true);
}

void NetworkManagerMock::Stop()
{
    mock_.kill();
    mock_.waitForFinished();
    WaitForService(false);
}

// Starting takes about a second on a quiet machine; a busy one is given much longer.
void NetworkManagerMock::WaitForService(bool registered) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (bus_.interface()->isServiceRegistered(Service).value() != registered) {
        if (std::chrono::steady_clock::now() > deadline)
            throw std::runtime_error("the NetworkManager mock did not come or go");
        QThread::msleep(20);
    }
}

QVariant NetworkManagerMock::Call(const QString& path, const QString& iface, const QString& method,
                                  const QVariantList& arguments) const
{
    QDBusMessage message = QDBusMessage::createMethodCall(Service, path, iface, method);
    message.setArguments(arguments);
    const QDBusMessage reply = bus_.call(message);
    if (reply.type() != QDBusMessage::ReplyMessage)
        throw std::runtime_error((method + ": " + reply.errorMessage()).toStdString());
    return reply.arguments().value(0);
}

QVariant NetworkManagerMock::Mock(const QString& method, const QVariantList& arguments,
                                  const QString& path) const
{
    return Call(path, "org.freedesktop.DBus.Mock", method, arguments);
}

QVariant NetworkManagerMock::Property(const QString& path, const QString& iface,
                                      const QString& name) const
{
    return Call(path, "org.freedesktop.DBus.Properties", "Get", {iface, name})
        .value<QDBusVariant>()
        .variant();
}

QString NetworkManagerMock::AddProfile(const QVariantMap& connection, std::uint32_t flags) const
{
    const QString path =
        Call(ManagerPath + "/Settings", Service + ".Settings", "AddConnection",
             {QVariant::fromValue(QMap<QString, QVariantMap>{{"connection", connection}})})
            .value<QDBusObjectPath>()
            .path();
    if (flags != 0)
        Mock("AddProperty",
             {Service + ".Settings.Connection", "Flags", QVariant::fromValue(QDBusVariant(flags))},
             path);
    return path;
}

void NetworkManagerMock::Activate(const QString& profile) const
{
    const QVariant none = QVariant::fromValue(QDBusObjectPath("/"));
    Call(ManagerPath, Service, "ActivateConnection",
         {QVariant::fromValue(QDBusObjectPath(profile)), none, none});
}

void NetworkManagerMock::SetState(const QString& profile, std::uint32_t state,
                                  std::uint32_t reason) const
{
    Mock("SetProfileState", {QVariant::fromValue(QDBusObjectPath(profile)), state, reason});
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
    const auto calls = Mock("GetMethodCalls", {method}, ManagerPath).value<QDBusArgument>();
    int count = 0;
    for (calls.beginArray(); !calls.atEnd(); ++count)
        calls.asVariant();
    return count;
}

} // namespace test
