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

NetNamespace::Result RunProgram(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    process.waitForFinished(-1);
    const bool exited = process.exitStatus() == QProcess::NormalExit;
    return {exited ? process.exitCode() : -1, process.readAll().toStdString()};
}

std::string CheckIp(const QStringList& arguments)
{
    const auto result = RunProgram("ip", arguments);
    if (result.exitCode != 0)
        throw std::runtime_error("ip " + arguments.join(' ').toStdString() + ": " + result.output);
    return result.output;
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
            RunProgram("ip", {"netns", "delete", QString::fromStdString(name)});
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
    CheckIp({"netns", "add", QString::fromStdString(name_)});
    try {
        CheckIp({"-n", QString::fromStdString(name_), "link", "set", "lo", "up"});
    } catch (...) {
        RunProgram("ip", {"netns", "delete", QString::fromStdString(name_)});
        throw;
    }
}

NetNamespace::~NetNamespace()
{
    RunProgram("ip", {"netns", "delete", QString::fromStdString(name_)});
}

NetNamespace::Result NetNamespace::Run(const std::string& shellCommand) const
{
    return RunProgram("ip", {"netns", "exec", QString::fromStdString(name_), "sh", "-c",
                             QString::fromStdString(shellCommand)});
}

std::string NetNamespace::Check(const std::string& shellCommand) const
{
    const auto result = Run(shellCommand);
    if (result.exitCode != 0)
        throw std::runtime_error(name_ + ": " + shellCommand + ": " + result.output);
    return result.output.substr(0, result.output.find_last_not_of(" \n") + 1);
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
