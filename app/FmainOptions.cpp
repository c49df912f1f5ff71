// The settings command: the dialog edits the settings; the main window applies what needs it.
#include "app/Fmain.h"
#include "platform/desktop/MessageBox.h"
#include "settings/Foptions.h"
#include "settings/RegVars.h"

void TFormMain::btOptionsClick()
{
    const bool keepWasOff = settings_.KeepConnected.Get() == 0;
    // Built when first opened, not at start, which it would slow by some 20 million instructions.
    if (!FormOptions)
        FormOptions = new TFormOptions(this, settings_, ras_);
    if (FormOptions->exec() != QDialog::Accepted)
        return;
    UpdateGraphScale();
    ShowUsage(); // the limit or the reset day may have changed
    const bool keepNow = settings_.KeepConnected.Get() != 0;
    // While the line is down an armed redial stays armed: the next connection decides afresh.
    if (Connected)
        KeepingConnection = keepNow;
    if (keepWasOff && keepNow)
        platform::ShowMessageBox(this,
                                 "Please note:\n"
                                 "In the future, Quillmar will keep a established\n"
                                 "connection. In order to disconnect please use the\n"
                                 "disconnect button from Quillmar!",
                                 "Request", platform::MbIconInformation);
}
