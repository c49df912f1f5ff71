#pragma once

#include <QProcess>
#include <QStringList>
#include <cstdint>
#include <future>
#include <string>
#include <thread>
#include <type_traits>

namespace test {

// A network namespace of the test's own, made with `ip netns add` under a name unique to this
// process, with its loopback up. The destructor deletes it, and every link inside it with it;
// namespaces left behind by a test process that was killed are swept away by the next one.
// Needs root: check CanCreate() and skip otherwise.
//
// Three ways in:
//  - Check(): a shell command inside, e.g. Check("cat /sys/class/net/eth0/statistics/rx_bytes").
//  - Start(): a program inside, under QProcess, e.g. ns.Start(process, QUILLMAR_BINARY, {});
//    the process is the program itself (`ip netns exec` replaces itself), so kill() reaches it.
//  - RunInside(): a function on a thread of this process moved into the namespace with setns.
//    Sockets made there stay in the namespace and may be used from any thread afterwards.
class NetNamespace {
public:
    static bool CanCreate();

    // Throws std::runtime_error when the namespace cannot be made.
    NetNamespace();
    ~NetNamespace();
    NetNamespace(const NetNamespace&) = delete;
    NetNamespace& operator=(const NetNamespace&) = delete;

    const std::string& Name() const { return name_; }

    // Runs `shellCommand` with `sh -c` inside the namespace and returns its output without
    // trailing white space; throws std::runtime_error with the output when the command fails.
    std::string Check(const std::string& shellCommand) const;
    void Start(QProcess& process, const QString& program, const QStringList& arguments) const;

    // Moves the calling thread into the namespace for the rest of its life; throws
    // std::system_error when it cannot.
    void EnterThisThread() const;

    template <typename Work> std::invoke_result_t<Work&> RunInside(Work work) const
    {
        std::packaged_task<std::invoke_result_t<Work&>()> task([this, &work] {
            EnterThisThread();
            return work();
        });
        auto result = task.get_future();
        std::thread(std::ref(task)).join();
        return result.get();
    }

private:
    std::string name_;
};

struct VethEnd {
    std::string name;
    std::string address; // IPv4, without prefix length
};

struct VethPair {
    VethEnd left;
    VethEnd right;
};

// Links `left` and `right` with a veth pair, both ends up and addressed from 10.254.0.0/16, a
// range that exists only inside test namespaces. IPv6 stays off and each end knows the other's
// hardware address for good, so the link carries nothing but what the test sends.
VethPair ConnectVeth(const NetNamespace& left, const std::string& leftName,
                     const NetNamespace& right, const std::string& rightName);

// A number from /sys/class/net inside `ns`, e.g. SysfsValue(ns, "wan0/statistics/rx_bytes").
std::uint64_t SysfsValue(const NetNamespace& ns, const std::string& file);

// The kernel brings carrier changes to a link's state asynchronously; waits a few seconds at most
// for them, without asking any layer under test, and tells whether the link got there.
bool WaitForOperState(const NetNamespace& ns, const std::string& link, bool up);

} // namespace test
