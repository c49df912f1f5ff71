#include "TestEnvironment.h"

#include <cstdlib>

namespace test {

void IsolateUserFiles(const QTemporaryDir& dir)
{
    const std::filesystem::path base = dir.path().toStdString();
    std::filesystem::create_directories(base / "config");
    std::filesystem::create_directories(base / "runtime");
    std::filesystem::permissions(base / "runtime", std::filesystem::perms::owner_all);
    std::filesystem::create_directories(base / "work");
    ::setenv("XDG_CONFIG_HOME", (base / "config").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (base / "runtime").c_str(), 1);
    ::setenv("HOME", base.c_str(), 1);
    std::filesystem::current_path(base / "work");
}

ScopedVariable::ScopedVariable(const char* name, const char* value) : name_(name)
{
    if (const char* old = std::getenv(name))
        saved_ = old;
    if (value)
        ::setenv(name, value, 1);
    else
        ::unsetenv(name);
}

ScopedVariable::~ScopedVariable()
{
    if (saved_)
        ::setenv(name_.c_str(), saved_->c_str(), 1);
    else
        ::unsetenv(name_.c_str());
}

std::filesystem::path TempStore::File() const
{
    return Dir() / "Quillmar" / "registry.sqlite3";
}

std::filesystem::path TempStore::Dir() const
{
    return dir_.path().toStdString();
}

} // namespace test
