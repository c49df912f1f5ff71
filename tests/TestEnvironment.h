#pragma once

#include <QStringList>
#include <QTemporaryDir>
#include <filesystem>
#include <ostream>

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

// A store file in a fresh temporary folder of its own.
class TempStore {
public:
    std::filesystem::path File() const;
    std::filesystem::path Dir() const;

private:
    QTemporaryDir dir_;
};

} // namespace test
