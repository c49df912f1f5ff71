// Opening and closing the watched connection; every outcome goes to the protocol.
#include "app/Fmain.h"
#include "settings/RegVars.h"
#include "traffic/LinkProbe.h"

#include <QPointer>
#include <string>

namespace {

// True exactly while the dial is running; ticks and clicks inside its loop must not dial again.
bool DialInProgress = false;

} // namespace

void TFormMain::btConnectClick()
{
    Dial();
}

void TFormMain::btDisconnectClick()
{
    HangUp();
}

void TFormMain::Dial()
{
    if (DialInProgress)
        return;
    if (FindConnection(false) != InvalidConnection) {
        AddProtocolLine("It seems, that we are already connected.");
        return;
    }
    if (LimitCloseDue()) {
        AddProtocolLine("Traffic limit has already been reached.");
        return;
    }
    AddProtocolLine("Dialing...");
    // A copy: the setting may change while the dial runs its own event loop.
    const std::string entry = settings_.Connection.Get();
    std::uint32_t error = 0;
    DialInProgress = true;
    const bool dialled = ras_.DialDlg(entry.c_str(), error);
    DialInProgress = false;
    if (dialled) {
        AddProtocolLine("Dialing successful");
        MissingRightSaid = false;
    } else {
        AddProtocolLine("Dialing error: %u", error);
        ReportMissingRight(error);
    }
}

void TFormMain::HangUp()
{
    // First, so that the watch cycle never redials after a hang-up, whatever happens next.
    KeepingConnection = false;
    // A dead line is still up and listed: taking it down is what Disconnect is for. A line still
    // being set up is left to finish.
    const platform::RasHandle connection =
        ::FindConnection(ras_, settings_.Connection.Get(), IsClosable);
    if (connection == InvalidConnection) {
        AddProtocolLine("It seems, that we are already disconnected.");
        return;
    }
    ++HangUpsAwaited;
    // The window may have gone by the time a service asked over a bus answers.
    ras_.HangUp(connection, [form = QPointer(this)](std::uint32_t result) {
        if (form)
            form->HangUpAnswered(result);
    });
}

void TFormMain::HangUpAnswered(std::uint32_t result)
{
    --HangUpsAwaited;
    if (result == 0) {
        AddProtocolLine("Connection closed successfully.");
        MissingRightSaid = false;
    } else {
        AddProtocolLine("Error during closing the connection (Code %u)", result);
        ReportMissingRight(result);
    }
}

// A code alone does not tell the user what to ask an administrator for. Said once until a dial or
// hang-up goes through, not again with every refusal of a redial or of a close at the limit.
void TFormMain::ReportMissingRight(std::uint32_t error)
{
    const char* right = ras_.MissingRight(error);
    if (!right || MissingRightSaid)
        return;
    MissingRightSaid = true;
    AddProtocolLine("Connect and Disconnect need %s: see \"Rights\" in the README, or "
                    "PERMISSIONS in quillmar(1).",
                    right);
}
