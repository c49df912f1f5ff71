#include "TestEnvironment.h"

#include <QApplication>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef QUILLMAR_TEST_OWN_DISPLAY
namespace {

// Puts an ordinary user's test process into a user namespace of its own, where it is root, so that
// network namespaces and mounts work as they do for root; root stays as it is and uses the real
// /run/netns. With it come a mount namespace with an empty /run of its own (for `ip netns`) and a
// network namespace with nothing but loopback (`ip netns add` returns to the namespace it came
// from, which must be the user namespace's too). Files keep their owner: the user's own are
// root's in here, all others nobody's. Must come before any thread starts, since a process with
// threads cannot enter a user namespace. Where that fails, test::NamespaceRefusal() says why.
void EnterUserNamespace()
{
    if (::geteuid() == 0)
        return;
    const auto failed = [](const std::string& what) {
        test::NamespaceRefusal() =
            "no user namespace of the test's own: " + what + ": " + std::strerror(errno);
    };
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS | CLONE_NEWNET) != 0)
        return failed("unshare(CLONE_NEWUSER | CLONE_NEWNS | CLONE_NEWNET) (see the sysctls "
                      "user.max_user_namespaces, kernel.unprivileged_userns_clone and "
                      "kernel.apparmor_restrict_unprivileged_userns)");
    test::InOwnUserNamespace() = true;
    for (const auto& [file, line] : {std::pair{"/proc/self/setgroups", std::string("deny")},
                                     {"/proc/self/uid_map", "0 " + std::to_string(uid) + " 1"},
                                     {"/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"}}) {
        const int fd = ::open(file, O_WRONLY | O_CLOEXEC);
        const bool written =
            fd >= 0 && ::write(fd, line.data(), line.size()) == ssize_t(line.size());
        if (fd >= 0)
            ::close(fd);
        if (!written)
            return failed(std::string("writing ") + file);
    }
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return failed("making / private");
    if (::mount("quillmar-test-run", "/run", "tmpfs", MS_NOSUID | MS_NODEV, "mode=755") != 0)
        return failed("mounting a tmpfs on /run");
    if (::mkdir("/run/netns", 0755) != 0)
        return failed("mkdir /run/netns");
    ifreq loopback{};
    std::strcpy(loopback.ifr_name, "lo");
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const bool up = fd >= 0 && ::ioctl(fd, SIOCGIFFLAGS, &loopback) == 0 &&
                    (loopback.ifr_flags |= IFF_UP, ::ioctl(fd, SIOCSIFFLAGS, &loopback) == 0);
    if (fd >= 0)
        ::close(fd);
    if (!up)
        return failed("bringing loopback up");
    test::NamespaceRefusal().clear();
}

} // namespace
#endif

// Every test process chooses its own display, buses and folders. The tray tests get an X display
// and a session bus of their own from their launcher (tray/on-own-display); all others run
// offscreen without the desktop's display, and an ordinary user's in a user namespace of their
// own, entered before any thread starts.
int main(int argc, char** argv)
{
#ifdef QUILLMAR_TEST_OWN_DISPLAY
    const QByteArray session = qgetenv("DBUS_SESSION_BUS_ADDRESS");
#else
    EnterUserNamespace();
#endif
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen")
        qunsetenv("DISPLAY"), qunsetenv("WAYLAND_DISPLAY");
    QTemporaryDir home;
    test::IsolateUserFiles(home);
#ifdef QUILLMAR_TEST_OWN_DISPLAY
    qputenv("DBUS_SESSION_BUS_ADDRESS", session);
#endif
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
