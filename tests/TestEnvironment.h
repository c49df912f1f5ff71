#pragma once

#include <QStringList>
#include <QTemporaryDir>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <unistd.h>

// Readable failure messages for Qt texts.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList& texts, std::ostream* out)
{
    *out << '[' << texts.join(" | ").toStdString() << ']';
}

namespace test {

// Points the user's home, config and runtime folders and the working directory at a temporary
// folder, so that no test ever reads or writes the real user's store, lock or log file; the other
// XDG folders follow the home. Both buses are addresses where nothing listens: a test that wants
// one starts its own (platform/DBusMock.h), so no NetworkManager, tray watcher or notification
// service of the machine ever answers, nor does any program a test starts find them.
inline void IsolateUserFiles(const QTemporaryDir& dir)
{
    const std::filesystem::path base = dir.path().toStdString();
    for (const auto& [variable, folder] :
         {std::pair{"XDG_CONFIG_HOME", "config"}, {"XDG_RUNTIME_DIR", "runtime"}, {"", "work"}}) {
        std::filesystem::create_directories(base / folder);
        ::setenv(*variable ? variable : "HOME", (*variable ? base / folder : base).c_str(), 1);
    }
    for (const char* variable : {"XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
        ::unsetenv(variable);
    const std::string nothing = "unix:path=" + (base / "no-bus").string();
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", nothing.c_str(), 1);
    ::setenv("DBUS_SESSION_BUS_ADDRESS", nothing.c_str(), 1);
    std::filesystem::permissions(base / "runtime", std::filesystem::perms::owner_all);
    std::filesystem::current_path(base / "work");
}

// Why this process cannot make network namespaces and mounts of its own; empty when it can.
inline std::string& NamespaceRefusal()
{
    static std::string why = ::geteuid() == 0 ? ""
                                              : "the test process is neither root nor in a "
                                                "user namespace of its own";
    return why;
}

// Whether this process is in a user namespace it entered at its start (TestMain.cpp).
inline bool& InOwnUserNamespace()
{
    static bool entered = false;
    return entered;
}
// Root of the machine can give a file to another user; root of a user namespace of the test's own,
// where only the user's own id is mapped, cannot.
inline bool CanChangeOwners()
{
    return ::geteuid() == 0 && !InOwnUserNamespace();
}

// Sets an environment variable, or unsets it for nullptr, until the guard ends.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            saved_ = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedVariable()
    {
        saved_ ? ::setenv(name_.c_str(), saved_->c_str(), 1) : ::unsetenv(name_.c_str());
    }

private:
    std::string name_;
    std::optional<std::string> saved_;
};

// A store file in a fresh temporary folder of its own.
class TempStore {
public:
    std::filesystem::path File() const { return Dir() / "Quillmar" / "registry.sqlite3"; }
    std::filesystem::path Dir() const { return dir_.path().toStdString(); }

private:
    QTemporaryDir dir_;
};

} // namespace test
