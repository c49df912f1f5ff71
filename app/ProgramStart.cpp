#include "app/ProgramStart.h"

#include "platform/InstanceLock.h"
#include "platform/MessageBox.h"
#include "settings/Foptions.h"
#include "settings/RegVars.h"

#include <QApplication>
#include <QIcon>
#include <exception>

namespace {

// The name the desktop entry, the metainfo and the icons are installed under. The desktop matches
// the running program to its entry by it, and an icon theme may draw the program's icon its own
// way; the icon built into the program stands in where the theme has none.
constexpr const char* ApplicationId = "org.quillmar.Quillmar";

void PresentToTheDesktop()
{
    QApplication::setApplicationName("Quillmar");
    QGuiApplication::setDesktopFileName(ApplicationId);
    QApplication::setWindowIcon(
        QIcon::fromTheme(ApplicationId, QIcon(":/icons/org.quillmar.Quillmar.svg")));
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
        TFormOptions formOptions(&formMain, services.form.settings, services.form.ras);
        formMain.FormOptions = &formOptions;
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
