#pragma once

#include <QDialog>
#include <cstdint>
#include <optional>

class CRegVars;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace platform {
class RasApi;
}

// The settings dialog: edits 20 of the settings, and whether the program starts at login. Each
// showing loads the controls from the settings; OK checks every field in a fixed order, stops at
// the first fault with a message and stores all 20 only when every field passed, then writes or
// removes the autostart entry. exec() gives Accepted exactly then, Rejected for Cancel, Escape
// and the title-bar close, which store nothing.
class TFormOptions : public QDialog {
    Q_OBJECT

public:
    TFormOptions(QWidget* parent, CRegVars& vars, platform::RasApi& ras);

    // Every close (OK, Cancel, Escape, title bar) passes here, so the checks can keep it open.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct CheckedNumbers {
        std::uint32_t bandwidthRX = 0;
        std::uint32_t bandwidthTX = 0;
        std::uint32_t updateSpeed = 0;
        std::uint32_t limit = 0;
        std::uint32_t keepAliveTime = 0;
    };

    void BuildControls();
    void PlaceOnScreen();

    void FormShow();
    void LoadPhoneEntries();
    void btOKClick();
    void FormCloseQuery(bool& canClose);
    std::optional<CheckedNumbers> CheckFields();
    void StoreSettings(const CheckedNumbers& numbers);
    void StoreStartAtLogin();
    // The field's number, or 0 once the range message has been shown.
    int CheckRange(const QString& text, const QString& label, int lowest, int highest);
    void ShowError(const QString& text);

    CRegVars& vars_;
    platform::RasApi& ras_;
    // Set by OK so that only the close it asked for runs the checks.
    bool OKClicked = false;

    QComboBox* cbPhoneEntries = nullptr;
    QCheckBox* ckAutoConnect = nullptr;
    QCheckBox* ckKeepConnected = nullptr;
    QCheckBox* ckKeepAliveEnabled = nullptr;
    QLineEdit* eKeepAliveHost = nullptr;
    QComboBox* cbKeepAliveTime = nullptr;
    QComboBox* cbBandwidthRX = nullptr;
    QComboBox* cbBandwidthTX = nullptr;
    QComboBox* cbHistScala = nullptr;
    QComboBox* cbUpdateSpeed = nullptr;
    QComboBox* cbLimit = nullptr;
    QCheckBox* ckLimitMessage = nullptr;
    QCheckBox* ckLimitClose = nullptr;
    QComboBox* cbLimitAutoReset = nullptr;
    QCheckBox* ckAutoUpdate = nullptr;
    QLineEdit* eHostname = nullptr;
    QLineEdit* eUsername = nullptr;
    QLineEdit* ePassword = nullptr;
    QCheckBox* ckStartMinimized = nullptr;
    QCheckBox* ckStartAtLogin = nullptr;
    QCheckBox* ckHintsAsNotifications = nullptr;
    QPushButton* btOK = nullptr;
    QPushButton* btCancel = nullptr;
};
