#include "platform/desktop/Autostart.h"

#include "platform/store/OwnFolder.h"

#include <QSaveFile>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <unistd.h>

namespace platform {

namespace {

// A desktop entry's string escapes, which are undone before anything else reads the value.
std::string EscapedString(std::string_view text)
{
    std::string escaped;
    for (const char c : text) {
        switch (c) {
        case '\\':
            escaped += "\\\\";
            break;
        case '\n':
            escaped += "\\n";
            break;
        case '\t':
            escaped += "\\t";
            break;
        case '\r':
            escaped += "\\r";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

// Exec runs its value split at blanks: an argument holding a reserved character is quoted, with
// the four characters that stay special inside quotes escaped, and a percent sign is doubled so
// that it is no field code.
std::string ExecArgument(std::string_view argument)
{
    constexpr std::string_view reserved = " \t\n\"'\\><~|&;$*?#()`";
    const bool quoted = argument.find_first_of(reserved) != std::string_view::npos;
    std::string exec = quoted ? "\"" : "";
    for (const char c : argument) {
        if (quoted && std::string_view("\"`$\\").find(c) != std::string_view::npos)
            exec += '\\';
        exec += c;
        if (c == '%')
            exec += '%';
    }
    if (quoted)
        exec += '"';
    return EscapedString(exec);
}

} // namespace

std::filesystem::path autostartEntry()
{
    const std::filesystem::path config = configHome();
    return config.empty() ? config : config / "autostart" / "org.quillmar.Quillmar.desktop";
}

bool autostartEntryExists(const std::filesystem::path& entry)
{
    std::error_code unreadable;
    return !entry.empty() && std::filesystem::exists(entry, unreadable);
}

std::string writeAutostartEntry(const std::filesystem::path& entry,
                                const std::filesystem::path& program)
{
    if (entry.empty())
        return "Cannot write the autostart entry: no home folder is known.";
    const std::string failed = "Cannot write the autostart entry " + entry.string() + ": ";
    std::error_code error;
    std::filesystem::create_directories(entry.parent_path(), error);
    if (error)
        return failed + error.message() + ".";
    std::string text = "[Desktop Entry]\nType=Application\nName=Quillmar\n";
    text += "Comment=Traffic monitor, started at login\n";
    // TryExec lets the session pass over an entry whose program has since been removed.
    text += "TryExec=" + EscapedString(program.string()) + "\n";
    text += "Exec=" + ExecArgument(program.string()) + "\n";
    text += "Icon=org.quillmar.Quillmar\nTerminal=false\n";
    // Written whole under another name and then renamed, so the session never reads half of it.
    QSaveFile file(QString::fromStdString(entry.string()));
    if (!file.open(QIODevice::WriteOnly) || file.write(text.data(), qint64(text.size())) < 0 ||
        !file.commit())
        return failed + file.errorString().toStdString() + ".";
    return {};
}

std::string removeAutostartEntry(const std::filesystem::path& entry)
{
    if (entry.empty() || ::unlink(entry.c_str()) == 0 || errno == ENOENT || errno == ENOTDIR)
        return {};
    return "Cannot remove the autostart entry " + entry.string() + ": " + std::strerror(errno) +
           ".";
}

} // namespace platform
