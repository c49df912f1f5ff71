#pragma once

#include "TestEnvironment.h"

#include <QProcess>
#include <QThread>
#include <array>
#include <fcntl.h>
#include <filesystem>
#include <linux/capability.h>
#include <linux/if.h>
#include <sched.h>
#include <sys/syscall.h>
#include <system_error>

namespace test {

// Network namespaces are made by root, or by an ordinary user's test process in the user
// namespace it entered at its start (TestMain.cpp). Where neither is there, NamespaceRefusal()
// says why, as the skip message.
inline bool CanCreateNamespaces()
{
    return NamespaceRefusal().empty();
}
// Ethernet, IPv4 and UDP headers around each datagram's payload.
inline constexpr std::uint32_t FrameOverhead = 14 + 20 + 8;

// Runs `ip arguments`; returns its output without trailing white space, throws with it on failure.
inline std::string Ip(const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start("ip", arguments);
    process.waitForFinished(-1);
    const std::string output = process.readAll().toStdString();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        throw std::runtime_error("ip " + arguments.join(' ').toStdString() + ": " + output);
    return output.substr(0, output.find_last_not_of(" \n") + 1);
}

// A network namespace of the test's own with its loopback up, deleted with every link inside it
// by the destructor. Its name carries the test process's pid, so a namespace left behind by a
// killed process of the same pid is replaced.
class NetNamespace {
public:
    NetNamespace()
        : name("quillmar-test-" + std::to_string(::getpid()) + "-" + std::to_string(count++))
    {
        if (std::filesystem::exists("/run/netns/" + name))
            QProcess::execute("ip", {"netns", "delete", name.c_str()});
        Ip({"netns", "add", name.c_str()}), Check("ip link set lo up");
    }
    ~NetNamespace() { QProcess::execute("ip", {"netns", "delete", name.c_str()}); }

    // Moves the calling thread in for good: every test runs in a process of its own.
    void Enter() const
    {
        const int ns = ::open(("/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
        if (ns < 0 || ::setns(ns, CLONE_NEWNET) != 0)
            throw std::system_error(errno, std::generic_category(), "setns");
        ::close(ns);
    }
    // Runs `bash -c shellCommand` inside.
    std::string Check(const std::string& shellCommand) const
    {
        return Ip({"netns", "exec", name.c_str(), "bash", "-c", shellCommand.c_str()});
    }

    static inline int count = 0;
    const std::string name;
};

// `link` in a "home" namespace, linked by a veth pair to isp0 in an "isp" namespace. IPv6 stays
// off and each end sends to a hardware address the other does not take: the link carries nothing
// but the test's datagrams, the kernel counts them on both ends, and no answer comes back.
class Wan {
public:
    explicit Wan(std::string link = "wan0") : link(std::move(link)) { Connect(); }

    // Makes the veth pair (again) and waits for its carrier.
    void Connect() const
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
    // `count` datagrams of `size` payload bytes out of home, or into it.
    void SendOut(int count, std::size_t size) const { Send(home, link, "10.254.0.2", count, size); }
    void SendIn(int count, std::size_t size) const { Send(isp, "isp0", "10.254.0.1", count, size); }
    // A file of the link in /sys/class/net, e.g. Sys("statistics/rx_bytes").
    std::string Sys(const std::string& file) const
    {
        return home.Check("cat /sys/class/net/" + link + "/" + file);
    }
    // Received and transmitted bytes, as the kernel counts them.
    std::array<std::uint64_t, 2> Counted() const
    {
        return {std::stoull(Sys("statistics/rx_bytes")), std::stoull(Sys("statistics/tx_bytes"))};
    }
    // Administratively up.
    bool IsUp() const { return std::stoull(Sys("flags"), nullptr, 16) & IFF_UP; }
    // The kernel brings carrier changes to the link asynchronously: waits a few seconds at most,
    // without asking any layer under test, and tells whether the link got there.
    bool WaitForCarrier(bool up) const
    {
        for (int i = 0; i < 500 && (Sys("operstate") == "up") != up; ++i)
            QThread::msleep(10);
        return (Sys("operstate") == "up") == up;
    }

    const NetNamespace home;
    const NetNamespace isp;
    const std::string link;

private:
    // A link that went down has forgotten its neighbours: each time, the sender is told anew to
    // send to a hardware address nobody takes. dd writes each block as one datagram.
    static void Send(const NetNamespace& from, const std::string& device, const std::string& to,
                     int count, std::size_t size)
    {
        from.Check("ip neigh replace " + to + " lladdr 02:00:00:00:00:99 dev " + device +
                   " nud permanent && dd if=/dev/zero bs=" + std::to_string(size) +
                   " count=" + std::to_string(count) + " status=none > /dev/udp/" + to + "/9");
    }
};

// Takes CAP_NET_ADMIN from the calling thread while it lives. Programs the thread starts as root
// get it back.
struct WithoutNetAdmin {
    WithoutNetAdmin() { Set(false); }
    ~WithoutNetAdmin() { Set(true); }
    static void Set(bool held)
    {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
        ::syscall(SYS_capget, &header, data);
        data[0].effective = (data[0].effective & ~(1u << CAP_NET_ADMIN)) | std::uint32_t{held}
                                                                               << CAP_NET_ADMIN;
        if (::syscall(SYS_capset, &header, data) != 0)
            throw std::system_error(errno, std::generic_category(), "capset");
    }
};

} // namespace test
