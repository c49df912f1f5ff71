#include "platform/NetNamespace.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sched.h>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace test {

namespace {

const std::string NamePrefix = "quillmar-test-";
const std::filesystem::path NamespaceDir = "/run/netns";

// Runs `ip` with `arguments`; returns its output (stdout and stderr together) and, with `check`,
// throws std::runtime_error with it when the command fails.
std::string Ip(const QStringList& arguments, bool check = true)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start("ip", arguments);
    process.waitForFinished(-1);
    const std::string output = process.readAll().toStdString();
    if (check && (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0))
        throw std::runtime_error("ip " + arguments.join(' ').toStdString() + ": " + output);
    return output;
}

// A test process killed on a time-out leaves its namespaces behind; they carry its pid.
void SweepOrphans()
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(NamespaceDir, error)) {
        const std::string name = entry.path().filename();
        if (!name.starts_with(NamePrefix))
            continue;
        const pid_t owner = std::atoi(name.c_str() + NamePrefix.size());
        if (owner > 0 && ::kill(owner, 0) != 0 && errno == ESRCH)
            Ip({"netns", "delete", QString::fromStdString(name)}, false);
    }
}

std::string UniqueName()
{
    static std::atomic<int> counter = 0;
    return NamePrefix + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

} // namespace

bool NetNamespace::CanCreate()
{
    return ::geteuid() == 0;
}

NetNamespace::NetNamespace() : name_(UniqueName())
{
    SweepOrphans();
    Ip({"netns", "add", QString::fromStdString(name_)});
    try {
        Ip({"-n", QString::fromStdString(name_), "link", "set", "lo", "up"});
    } catch (...) {
        Ip({"netns", "delete", QString::fromStdString(name_)}, false);
        throw;
    }
}

NetNamespace::~NetNamespace()
{
    Ip({"netns", "delete", QString::fromStdString(name_)}, false);
}

std::string NetNamespace::Check(const std::string& shellCommand) const
{
    const std::string output = Ip({"netns", "exec", QString::fromStdString(name_), "sh", "-c",
                                   QString::fromStdString(shellCommand)});
    return output.substr(0, output.find_last_not_of(" \n") + 1);
}

void NetNamespace::Start(QProcess& process, const QString& program,
                         const QStringList& arguments) const
{
    process.start("ip",
                  QStringList{"netns", "exec", QString::fromStdString(name_), program} + arguments);
}

void NetNamespace::EnterThisThread() const
{
    const int fd = ::open((NamespaceDir / name_).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw std::system_error(errno, std::generic_category(), "open " + name_);
    const int entered = ::setns(fd, CLONE_NEWNET);
    const int error = errno;
    ::close(fd);
    if (entered != 0)
        throw std::system_error(error, std::generic_category(), "setns " + name_);
}

VethPair ConnectVeth(const NetNamespace& left, const std::string& leftName,
                     const NetNamespace& right, const std::string& rightName)
{
    static std::atomic<int> subnet = 0;
    const std::string prefix = "10.254." + std::to_string(subnet++ % 256) + ".";
    const VethPair pair{{leftName, prefix + "1"}, {rightName, prefix + "2"}};
    left.Check("ip link add name " + leftName + " type veth peer name " + rightName + " netns " +
               right.Name());
    const std::string leftMac = left.Check("cat /sys/class/net/" + leftName + "/address");
    const std::string rightMac = right.Check("cat /sys/class/net/" + rightName + "/address");
    const struct {
        const NetNamespace& ns;
        const VethEnd& end;
        const VethEnd& peer;
        const std::string& peerMac;
    } sides[] = {{left, pair.left, pair.right, rightMac}, {right, pair.right, pair.left, leftMac}};
    for (const auto& side : sides) {
        const std::string ipv6 = "/proc/sys/net/ipv6/conf/" + side.end.name + "/disable_ipv6";
        side.ns.Check("[ ! -e " + ipv6 + " ] || echo 1 > " + ipv6);
        side.ns.Check("ip addr add " + side.end.address + "/24 dev " + side.end.name);
        side.ns.Check("ip neigh replace " + side.peer.address + " lladdr " + side.peerMac +
                      " dev " + side.end.name + " nud permanent");
        side.ns.Check("ip link set " + side.end.name + " up");
    }
    return pair;
}

std::uint64_t SysfsValue(const NetNamespace& ns, const std::string& file)
{
    return std::stoull(ns.Check("cat /sys/class/net/" + file), nullptr, 0);
}

bool WaitForOperState(const NetNamespace& ns, const std::string& link, bool up)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while ((ns.Check("cat /sys/class/net/" + link + "/operstate") == "up") != up) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

} // namespace test
