#include "settings/Foptions.h"

#include "platform/desktop/Autostart.h"
#include "platform/desktop/MessageBox.h"
#include "platform/links/RasApi.h"
#include "settings/RangeCheck.h"
#include "settings/RegVars.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QShowEvent>
#include <array>
#include <cstring>

namespace {

// Enough for every link a desktop has; a longer list fails as a whole.
constexpr std::size_t MaxPhoneEntries = 50;

// Stored texts are UTF-8, so fields are trimmed and read as UTF-8 too.
QByteArray Trimmed(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    const std::string_view trimmed = TrimBlanks({utf8.constData(), std::size_t(utf8.size())});
    return QByteArray(trimmed.data(), qsizetype(trimmed.size()));
}

// A stored index outside the list selects nothing.
int ItemIndex(std::uint32_t stored, int count)
{
    return stored < std::uint32_t(count) ? int(stored) : -1;
}

std::uint32_t Flag(const QCheckBox* box)
{
    return box->isChecked() ? 1 : 0;
}

} // namespace

TFormOptions::TFormOptions(QWidget* parent, CRegVars& vars, platform::RasApi& ras)
    : QDialog(parent), vars_(vars), ras_(ras)
{
    BuildControls();
    PlaceOnScreen();
}

void TFormOptions::showEvent(QShowEvent* event)
{
    // The window system re-showing a minimised dialog must not undo the user's edits.
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

void TFormOptions::done(int result)
{
    bool canClose = true;
    FormCloseQuery(canClose);
    if (canClose)
        QDialog::done(result);
}

void TFormOptions::FormShow()
{
    OKClicked = false;
    LoadPhoneEntries();
    cbBandwidthRX->setEditText(QString::number(vars_.BandwidthRX.Get()));
    cbBandwidthTX->setEditText(QString::number(vars_.BandwidthTX.Get()));
    ckAutoConnect->setChecked(vars_.AutoConnect.Get() != 0);
    ckKeepConnected->setChecked(vars_.KeepConnected.Get() != 0);
    ckKeepAliveEnabled->setChecked(vars_.KeepAliveEnabled.Get() != 0);
    eKeepAliveHost->setText(QString::fromUtf8(vars_.KeepAliveHost.Get()));
    cbKeepAliveTime->setEditText(QString::number(vars_.KeepAliveTime.Get()));
    cbHistScala->setCurrentIndex(ItemIndex(vars_.HistoryScaling.Get(), cbHistScala->count()));
    cbUpdateSpeed->setEditText(QString::number(vars_.HistoryUpdateSpeed.Get()));
    cbLimit->setEditText(QString::number(vars_.TrafficLimit.Get()));
    ckLimitMessage->setChecked(vars_.OnLimitShowMessage.Get() != 0);
    ckLimitClose->setChecked(vars_.OnLimitCloseConnection.Get() != 0);
    cbLimitAutoReset->setCurrentIndex(
        ItemIndex(vars_.LimitAutoReset.Get(), cbLimitAutoReset->count()));
    ckAutoUpdate->setChecked(vars_.DynDNSAutoUpdate.Get() != 0);
    eHostname->setText(QString::fromUtf8(vars_.DynDNSHostname.Get()));
    eUsername->setText(QString::fromUtf8(vars_.DynDNSUsername.Get()));
    ePassword->setText(QString::fromUtf8(vars_.DynDNSPassword.Get()));
    ckStartMinimized->setChecked(vars_.StartMinimized.Get() != 0);
    ckHintsAsNotifications->setChecked(vars_.HintsAsNotifications.Get() != 0);
    // Not a stored setting: the entry itself says whether the session starts the program.
    ckStartAtLogin->setChecked(platform::autostartEntryExists(platform::autostartEntry()));
}

void TFormOptions::LoadPhoneEntries()
{
    std::array<platform::RasEntryName, MaxPhoneEntries> entries{};
    std::size_t count = 0;
    const bool listed = ras_.EnumEntries(entries, count) == 0;
    cbPhoneEntries->clear();
    cbPhoneEntries->clearEditText();
    int match = -1;
    for (std::size_t i = 0; listed && i < count; ++i) {
        cbPhoneEntries->addItem(QString::fromUtf8(entries[i].name));
        if (std::strcmp(entries[i].name, vars_.Connection.Get()) == 0)
            match = int(i);
    }
    // A modem's link or a removed profile is listed only while it exists; the choice stays, so
    // that OK keeps it while it is away.
    const QString stored = QString::fromUtf8(vars_.Connection.Get());
    if (match < 0 && !Trimmed(stored).isEmpty()) {
        match = cbPhoneEntries->count();
        cbPhoneEntries->addItem(stored);
    }
    cbPhoneEntries->setCurrentIndex(match);
}

void TFormOptions::btOKClick()
{
    OKClicked = true;
    accept();
}

void TFormOptions::FormCloseQuery(bool& canClose)
{
    if (!OKClicked)
        return;
    OKClicked = false;
    canClose = false;
    const std::optional<CheckedNumbers> numbers = CheckFields();
    if (!numbers)
        return;
    canClose = true;
    StoreSettings(*numbers);
    StoreStartAtLogin();
}

std::optional<TFormOptions::CheckedNumbers> TFormOptions::CheckFields()
{
    const auto fail = [this](const QString& message) -> std::optional<CheckedNumbers> {
        ShowError(message);
        return std::nullopt;
    };
    CheckedNumbers n;
    if (Trimmed(cbPhoneEntries->currentText()).isEmpty())
        return fail("No connection selected!");
    if (!(n.bandwidthRX = CheckRange(cbBandwidthRX->currentText(), "bandwidth RX", 8, 26000)))
        return std::nullopt;
    if (!(n.bandwidthTX = CheckRange(cbBandwidthTX->currentText(), "bandwidth TX", 8, 26000)))
        return std::nullopt;
    if (cbHistScala->currentIndex() < 0)
        return fail("No scaling selected!");
    if (!(n.updateSpeed = CheckRange(cbUpdateSpeed->currentText(), "update speed", 1, 60)))
        return std::nullopt;
    if (!(n.limit = CheckRange(cbLimit->currentText(), "traffic limit", 1, 1000000)))
        return std::nullopt;
    if (cbLimitAutoReset->currentIndex() < 0)
        return fail("No day for auto-reset selected!");
    if (ckAutoUpdate->isChecked()) {
        if (Trimmed(eHostname->text()).isEmpty())
            return fail("No hostname entered for DynDNS!");
        if (Trimmed(eUsername->text()).isEmpty())
            return fail("No username entered for DynDNS!");
        if (Trimmed(ePassword->text()).isEmpty())
            return fail("No password entered for DynDNS!");
    }
    // Checked even with keep-alive off: the stored time must always be usable.
    if (!(n.keepAliveTime = CheckRange(cbKeepAliveTime->currentText(), "keep-alive time", 1, 60)))
        return std::nullopt;
    if (ckKeepAliveEnabled->isChecked() && Trimmed(eKeepAliveHost->text()).isEmpty())
        return fail("No hostname entered for NTP server!");
    return n;
}

void TFormOptions::StoreSettings(const CheckedNumbers& n)
{
    vars_.Connection.Set(Trimmed(cbPhoneEntries->currentText()).constData());
    vars_.BandwidthRX.Set(n.bandwidthRX);
    vars_.BandwidthTX.Set(n.bandwidthTX);
    vars_.AutoConnect.Set(Flag(ckAutoConnect));
    vars_.KeepConnected.Set(Flag(ckKeepConnected));
    vars_.KeepAliveEnabled.Set(Flag(ckKeepAliveEnabled));
    vars_.KeepAliveHost.Set(Trimmed(eKeepAliveHost->text()).constData());
    vars_.KeepAliveTime.Set(n.keepAliveTime);
    vars_.HistoryScaling.Set(std::uint32_t(cbHistScala->currentIndex()));
    vars_.HistoryUpdateSpeed.Set(n.updateSpeed);
    vars_.TrafficLimit.Set(n.limit);
    vars_.OnLimitShowMessage.Set(Flag(ckLimitMessage));
    vars_.OnLimitCloseConnection.Set(Flag(ckLimitClose));
    vars_.LimitAutoReset.Set(std::uint32_t(cbLimitAutoReset->currentIndex()));
    vars_.DynDNSAutoUpdate.Set(Flag(ckAutoUpdate));
    vars_.DynDNSHostname.Set(Trimmed(eHostname->text()).constData());
    vars_.DynDNSUsername.Set(Trimmed(eUsername->text()).constData());
    vars_.DynDNSPassword.Set(Trimmed(ePassword->text()).constData());
    vars_.StartMinimized.Set(Flag(ckStartMinimized));
    vars_.HintsAsNotifications.Set(Flag(ckHintsAsNotifications));
}

// The entry names this very program, wherever it was started from.
void TFormOptions::StoreStartAtLogin()
{
    const std::filesystem::path entry = platform::autostartEntry();
    const std::string error =
        ckStartAtLogin->isChecked()
            ? platform::writeAutostartEntry(entry,
                                            QCoreApplication::applicationFilePath().toStdString())
            : platform::removeAutostartEntry(entry);
    if (!error.empty())
        ShowError(QString::fromStdString(error));
}

int TFormOptions::CheckRange(const QString& text, const QString& label, int lowest, int highest)
{
    const QByteArray trimmed = Trimmed(text);
    if (const auto number =
            NumberInRange({trimmed.constData(), std::size_t(trimmed.size())}, lowest, highest))
        return *number;
    ShowError(QStringLiteral("Invalid %1! Please enter a number between %2 and %3.")
                  .arg(label, QString::number(lowest), QString::number(highest)));
    return 0;
}

void TFormOptions::ShowError(const QString& text)
{
    platform::ShowMessageBox(this, text, QStringLiteral("Error"),
                             platform::MbOk | platform::MbIconExclamation);
}
