#pragma once

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QProcess>
#include <QTemporaryFile>
#include <QTest>
#include <csignal>
#include <stdexcept>

namespace test {

// A python3-dbusmock template for `service` on a private bus of the test's own: Bus() is what the
// program is handed; Call plays another client, Mock scripts the double. The bus starts nothing by
// activation, so no service a desktop has installed ever answers in the double's place.
class DBusMock {
public:
    enum class BusKind { Session, System };

    DBusMock(const QString& service, BusKind kind, const QStringList& template_)
        : service_(service),
          arguments_(QStringList{"-m", "dbusmock"} +
                     (kind == BusKind::System ? QStringList{"--system"} : QStringList{}) +
                     QStringList{"--template"} + template_)
    {
        config_.open();
        config_.write(R"(<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen>
            <auth>EXTERNAL</auth><policy context="default"><allow send_destination="*"
            eavesdrop="true"/><allow eavesdrop="true"/><allow own="*"/></policy></busconfig>)");
        config_.flush();
        daemon_.start("dbus-daemon",
                      {"--config-file=" + config_.fileName(), "--nofork", "--print-address=1"});
        daemon_.waitForReadyRead(30'000);
        const QString address = QString::fromUtf8(daemon_.readLine()).trimmed();
        bus_ = QDBusConnection::connectToBus(address, service);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(kind == BusKind::System ? "DBUS_SYSTEM_BUS_ADDRESS"
                                                   : "DBUS_SESSION_BUS_ADDRESS",
                           address);
        mock_.setProcessEnvironment(environment);
        mock_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        log_.open();
        mock_.setStandardOutputFile(log_.fileName(), QIODevice::Append); // a line for each call
        Start();
    }
    ~DBusMock()
    {
        for (QProcess* process : {&mock_, &daemon_})
            process->kill(), process->waitForFinished();
        QDBusConnection::disconnectFromBus(service_);
    }
    const QDBusConnection& Bus() const { return bus_; }

    // The service killed, leaving the bus without it.
    void Stop()
    {
        mock_.kill();
        mock_.waitForFinished();
    }
    // Killed and started afresh, knowing nothing.
    void Restart()
    {
        Stop();
        Start();
    }
    // SIGSTOP stalls it, SIGCONT resumes it.
    void Signal(int signal) const { ::kill(mock_.processId(), signal); }
    // The method calls the service has answered so far, the test's own included.
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
        QDBusMessage message = QDBusMessage::createMethodCall(service_, path, iface, method);
        message.setArguments(arguments);
        const QDBusMessage reply = bus_.call(message);
        if (reply.type() != QDBusMessage::ReplyMessage)
            throw std::runtime_error((method + ": " + reply.errorMessage()).toStdString());
        return reply.arguments().value(0);
    }
    // A method of the double's control interface ("AddEthernetDevice", "SetProperty"…).
    QVariant Mock(const QString& method, const QVariantList& arguments, const QString& path) const
    {
        return Call(path, "org.freedesktop.DBus.Mock", method, arguments);
    }
    // The arguments of every call of `method` of the object at `path`, oldest first.
    QList<QVariantList> MethodCalls(const QString& method, const QString& path) const
    {
        const auto calls = Mock("GetMethodCalls", {method}, path).value<QDBusArgument>();
        QList<QVariantList> all;
        calls.beginArray();
        while (!calls.atEnd()) {
            qulonglong time = 0;
            QVariantList arguments;
            calls.beginStructure();
            calls >> time >> arguments;
            calls.endStructure();
            all << arguments;
        }
        calls.endArray(); // the reader of a level lives until its end
        return all;
    }

private:
    void Start()
    {
        mock_.start(QUILLMAR_PYTHON, arguments_);
        // Starting takes about a second on a quiet machine; a busy one is given much longer. The
        // event loop runs on meanwhile.
        if (!QTest::qWaitFor(
                [&] { return bus_.interface()->isServiceRegistered(service_).value(); }, 30'000))
            throw std::runtime_error(("the mock of " + service_ + " did not start").toStdString());
    }

    const QString service_;
    const QStringList arguments_;
    QTemporaryFile config_;
    mutable QTemporaryFile log_;
    QProcess daemon_;
    QProcess mock_;
    QDBusConnection bus_{QString()};
};

} // namespace test
