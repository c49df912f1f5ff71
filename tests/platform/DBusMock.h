#pragma once

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <QTest>
#include <csignal>
#include <stdexcept>

namespace test {

// A python3-dbusmock double of `service` on a private bus of the test's own (private-bus.conf):
// Bus() is what the program is handed, Call plays another client. The double is started with
// `arguments` and told the bus through `addressVariable`.
class DBusMock {
public:
    DBusMock(const QString& service, const char* addressVariable, const QStringList& arguments)
        : service_(service), arguments_(QStringList{"-m", "dbusmock"} + arguments)
    {
        daemon_.start("dbus-daemon",
                      {"--config-file=" QUILLMAR_PRIVATE_BUS, "--nofork", "--print-address=1"});
        daemon_.waitForReadyRead(30'000);
        const QString address = QString::fromUtf8(daemon_.readLine()).trimmed();
        bus_ = QDBusConnection::connectToBus(address, service);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(addressVariable, address);
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

    // Killed and started afresh, knowing nothing.
    void Restart()
    {
        mock_.kill();
        mock_.waitForFinished();
        Start();
    }
    // SIGSTOP stalls it, SIGCONT resumes it, SIGKILL leaves the bus without it.
    void Signal(int signal) const { ::kill(mock_.processId(), signal); }
    // The method calls answered so far, the test's own included, each as its name and arguments
    // (`Notify "Quillmar" 0 …`), and the signals sent (`emit …`).
    QStringList Log() const
    {
        log_.seek(0);
        QStringList lines = QString::fromUtf8(log_.readAll()).split('\n', Qt::SkipEmptyParts);
        for (QString& line : lines)
            line = line.section(' ', 1); // without the time
        return lines;
    }
    qsizetype Calls() const
    {
        return Log().size() - Log().filter(QRegularExpression("^emit ")).size();
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

private:
    void Start()
    {
        mock_.start(QUILLMAR_PYTHON, arguments_);
        // Starting takes about a second on a quiet machine; a busy one is given much longer. The
        // event loop runs on meanwhile.
        if (!QTest::qWaitFor(
                [&] { return bus_.interface()->isServiceRegistered(service_).value(); }, 30'000))
            throw std::runtime_error(
                ("the double of " + service_ + " did not start").toStdString());
    }

    const QString service_;
    const QStringList arguments_;
    mutable QTemporaryFile log_;
    QProcess daemon_;
    QProcess mock_;
    QDBusConnection bus_{QString()};
};

} // namespace test
