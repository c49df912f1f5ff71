#include "app/ProgramStart.h"

#include "platform/desktop/MessageBox.h"
#include "platform/store/InstanceLock.h"
#include "settings/RegVars.h"

#include <QApplication>
#include <QIcon>
#include <exception>

namespace {

// The name the desktop entry, the metainfo and the icons are installed under. The desktop matches
// the running program to its entry by it, and takes the icon an icon theme may have for it from
// there; the window's own icon is the one built into the program, since searching the icon themes
// for it would cost the start some 29 million instructions.
constexpr const char* ApplicationId = "org.quillmar.Quillmar";

void PresentToTheDesktop()
{
    QApplication::setApplicationName("Quillmar");
    QGuiApplication::setDesktopFileName(ApplicationId);
    QApplication::setWindowIcon(QIcon(":/icons/org.quillmar.Quillmar.svg"));
}

} // namespace

int RunProgram(QApplication& app, const ProgramServices& services)
{
    const platform::InstanceLock lock(services.lockFile);
    switch (lock.result()) {
    case platform::InstanceLock::Result::Acquired:
        break;
    case platform::InstanceLock::Result::AlreadyHeld:
        platform::ShowMessageBox(nullptr,
                                 "Quillmar is already running. Take a look into the system tray!",
                                 "Info", platform::MbIconInformation,
                                 QString("Its settings are in use: %1 is locked.")
                                     .arg(QString::fromStdString(services.lockFile.string())));
        return 0;
    case platform::InstanceLock::Result::Failed:
        platform::ShowMessageBox(nullptr,
                                 "Failed to run Quillmar for a unknown reason. Maybe, the program "
                                 "is already running.",
                                 "Info", platform::MbIconInformation);
        return 0;
    }

    try {
        PresentToTheDesktop();
        TFormMain formMain(services.form);
        // Without a tray a window that never shows could not be reached at all.
        if (services.form.settings.StartMinimized.Get() == 0 || !services.form.tray.Available())
            formMain.show();
        app.exec();
    } catch (const std::exception& error) {
        platform::ShowMessageBox(nullptr, QString::fromUtf8(error.what()), "Quillmar",
                                 platform::MbIconExclamation);
    }
    return 0;
}
