#include "platform/NetNamespace.h"

#include <QProcess>
#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <linux/capability.h>
#include <linux/if.h>
#include <sched.h>
#include <stdexcept>
#include <sys/syscall.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace test {

namespace {

const std::string Prefix = "quillmar-test-";

std::string Ip(const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start("ip", arguments);
    process.waitForFinished(-1);
    const std::string output = process.readAll().toStdString();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        throw std::runtime_error("ip " + arguments.join(' ').toStdString() + ": " + output);
    return output;
}

// Namespaces carry the pid of their test process.
std::string SweepOrphansForAName()
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/run/netns", error)) {
        const std::string name = entry.path().filename();
        const pid_t owner = name.starts_with(Prefix) ? std::atoi(name.c_str() + Prefix.size()) : 0;
        if (owner > 0 && ::kill(owner, 0) != 0 && errno == ESRCH)
            QProcess::execute("ip", {"netns", "delete", name.c_str()});
    }
    static std::atomic<int> counter = 0;
    return Prefix + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

// A link that went down has forgotten its neighbours: each time, the sender is told anew to send
// to a hardware address nobody takes. dd writes each block as one datagram.
void Send(const NetNamespace& from, const std::string& device, const std::string& to, int count,
          std::size_t size)
{
    from.Check("ip neigh replace " + to + " lladdr 02:00:00:00:00:99 dev " + device +
               " nud permanent && dd if=/dev/zero bs=" + std::to_string(size) +
               " count=" + std::to_string(count) + " status=none > /dev/udp/" + to + "/9");
}

} // namespace

bool CanCreateNamespaces()
{
    return ::geteuid() == 0;
}

NetNamespace::NetNamespace() : name(SweepOrphansForAName())
{
    Ip({"netns", "add", name.c_str()});
    Check("ip link set lo up");
}

NetNamespace::~NetNamespace()
{
    QProcess::execute("ip", {"netns", "delete", name.c_str()});
}

std::string NetNamespace::Check(const std::string& shellCommand) const
{
    const std::string output =
        Ip({"netns", "exec", name.c_str(), "bash", "-c", shellCommand.c_str()});
    return output.substr(0, output.find_last_not_of(" \n") + 1);
}

void NetNamespace::EnterThisThread() const
{
    const int fd = ::open(("/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
    if (::setns(fd, CLONE_NEWNET) != 0)
        throw std::system_error(errno, std::generic_category(), "setns " + name);
    ::close(fd);
}

Wan::Wan(std::string link) : link(std::move(link))
{
    Connect();
}

void Wan::Connect() const
{
    home.Check("ip link add " + link + " type veth peer name isp0 netns " + isp.name);
    for (const auto& [ns, device, address] :
         {std::tuple(&home, link, "10.254.0.1/24"),
          std::tuple(&isp, std::string("isp0"), "10.254.0.2/24")})
        ns->Check("echo 1 > /proc/sys/net/ipv6/conf/" + device + "/disable_ipv6; ip addr add " +
                  address + " dev " + device + " && ip link set " + device + " up");
    if (!WaitForCarrier(true))
        throw std::runtime_error(link + " got no carrier");
}

void Wan::SendOut(int count, std::size_t size) const
{
    Send(home, link, "10.254.0.2", count, size);
}

void Wan::SendIn(int count, std::size_t size) const
{
    Send(isp, "isp0", "10.254.0.1", count, size);
}

std::uint64_t Wan::Counter(const std::string& name) const
{
    return std::stoull(home.Check("cat /sys/class/net/" + link + "/statistics/" + name));
}

bool Wan::IsUp() const
{
    return std::stoull(home.Check("cat /sys/class/net/" + link + "/flags"), nullptr, 16) & IFF_UP;
}

bool Wan::WaitForCarrier(bool up) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while ((home.Check("cat /sys/class/net/" + link + "/operstate") == "up") != up) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

void WithoutNetAdmin::Set(bool held)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    ::syscall(SYS_capget, &header, data);
    const std::uint32_t bit = 1u << CAP_NET_ADMIN;
    data[0].effective = held ? data[0].effective | bit : data[0].effective & ~bit;
    if (::syscall(SYS_capset, &header, data) != 0)
        throw std::system_error(errno, std::generic_category(), "capset");
}

} // namespace test
