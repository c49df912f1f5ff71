// The network commands: each starts its operation and returns; the operation writes its outcome
// to the protocol as it comes, while the watch cycle goes on.
#include "app/DynDnsUpdate.h"
#include "app/Fmain.h"
#include "app/TimeSync.h"
#include "settings/RegVars.h"

void TFormMain::miDNSUpdateClick()
{
    dynDnsUpdate_->Run();
}

void TFormMain::miUpdateNTPClick()
{
    timeSync_->Run();
}

void TFormMain::DynDNSAfterConnect()
{
    if (settings_.DynDNSAutoUpdate.Get() != 0)
        miDNSUpdateClick();
}
