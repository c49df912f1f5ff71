#include "app/ProgramStart.h"

#include "platform/InstanceLock.h"
#include "platform/MessageBox.h"
#include "settings/Foptions.h"
#include "settings/RegVars.h"

#include <QApplication>
#include <exception>

int RunProgram(QApplication& app, const ProgramServices& services)
{
    const platform::InstanceLock lock(services.lockFile);
    switch (lock.result()) {
    case platform::InstanceLock::Result::Acquired:
        break;
    case platform::InstanceLock::Result::AlreadyHeld:
        platform::ShowMessageBox(nullptr,
                                 "Quillmar is already running. Take a look into the system tray!",
                                 "Info", platform::MbIconInformation);
        return 0;
    case platform::InstanceLock::Result::Failed:
        platform::ShowMessageBox(nullptr,
                                 "Failed to run Quillmar for a unknown reason. Maybe, the program "
                                 "is already running.",
                                 "Info", platform::MbIconInformation);
        return 0;
    }

    try {
        QApplication::setApplicationName("Quillmar");
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
