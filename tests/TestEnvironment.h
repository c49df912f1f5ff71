#pragma once

#include <QStringList>
#include <QTemporaryDir>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

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

// Points the user's config and runtime folders and the working directory at a temporary folder,
// so that no test ever reads or writes the real user's store, lock or log file.
void IsolateUserFiles(const QTemporaryDir& dir);

// Sets an environment variable, or unsets it for nullptr, until the guard ends.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value);
    ~ScopedVariable();
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    std::string name_;
    std::optional<std::string> saved_;
};

// A store file in a fresh temporary folder of its own.
class TempStore {
public:
    std::filesystem::path File() const;
    std::filesystem::path Dir() const;

private:
    QTemporaryDir dir_;
};

} // namespace test
