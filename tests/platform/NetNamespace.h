#pragma once

#include <cstdint>
#include <string>

namespace test {

inline constexpr const char* NeedsRoot = "needs root to create network namespaces";
bool CanCreateNamespaces();

// A network namespace of the test's own with its loopback up, deleted with every link inside it
// by the destructor; those of a test process that was killed are swept away by the next one.
class NetNamespace {
public:
    NetNamespace();
    ~NetNamespace();
    NetNamespace(const NetNamespace&) = delete;
    NetNamespace& operator=(const NetNamespace&) = delete;

    // Runs `bash -c shellCommand` inside and returns its output without trailing white space;
    // throws std::runtime_error with the output when the command fails.
    std::string Check(const std::string& shellCommand) const;
    // Moves the calling thread into the namespace for the rest of its life. Every test runs in a
    // process of its own, so its main thread may go.
    void EnterThisThread() const;

    const std::string name;
};

// Ethernet, IPv4 and UDP headers around each datagram's payload.
inline constexpr std::uint32_t FrameOverhead = 14 + 20 + 8;

// `link` in a "home" namespace, linked by a veth pair to isp0 in an "isp" namespace. IPv6 stays
// off and each end sends to a hardware address the other does not take: the link carries nothing
// but the test's datagrams, the kernel counts them on both ends, and no answer comes back.
class Wan {
public:
    explicit Wan(std::string link = "wan0");

    // Makes the veth pair (again) and waits for its carrier.
    void Connect() const;
    // `count` datagrams of `size` payload bytes out of home, or into it.
    void SendOut(int count, std::size_t size) const;
    void SendIn(int count, std::size_t size) const;
    // The kernel's counter of the link, e.g. Counter("rx_bytes").
    std::uint64_t Counter(const std::string& name) const;
    bool IsUp() const; // administratively
    // The kernel brings carrier changes to the link asynchronously: waits a few seconds at most,
    // without asking any layer under test, and tells whether the link got there.
    bool WaitForCarrier(bool up) const;

    const NetNamespace home;
    const NetNamespace isp;
    const std::string link;
};

// Takes CAP_NET_ADMIN from the calling thread while it lives. Programs the thread starts as root
// get it back.
class WithoutNetAdmin {
public:
    WithoutNetAdmin() { Set(false); }
    ~WithoutNetAdmin() { Set(true); }

private:
    static void Set(bool held);
};

} // namespace test
