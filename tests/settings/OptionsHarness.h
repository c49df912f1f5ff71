#pragma once

#include "TestEnvironment.h"
#include "platform/FakeRasApi.h"
#include "settings/Foptions.h"
#include "settings/RegVars.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <optional>
#include <stdexcept>

namespace test {

struct SeenBox {
    QString text;
    QString caption;
    QMessageBox::Icon icon;
};

// The settings dialog on a temporary store with scripted links, driven like a user drives it.
// The store holds a valid connection, "eth0", which the link list offers. The user's
// configuration folder, where the autostart entry goes, is the store's temporary folder.
struct OptionsHarness {
    OptionsHarness()
    {
        ras.entries = {"eth0", "wlan0"};
        vars.Connection.Set("eth0");
    }

    TempStore store;
    ScopedVariable configHome{"XDG_CONFIG_HOME", store.Dir().c_str()};
    CRegVars vars{store.File()};
    FakeRasApi ras;
    TFormOptions form{nullptr, vars, ras};

    void Open() { form.open(); }
    template <class T = QWidget> T* Find(const char* name) const
    {
        if (T* widget = form.findChild<T*>(name))
            return widget;
        throw std::runtime_error(std::string("no control ") + name);
    }
    // What the user sees in a control: its text, or "on" or "off" for a check box.
    QString State(const char* name) const
    {
        if (const auto* box = form.findChild<QCheckBox*>(name))
            return box->isChecked() ? "on" : "off";
        if (const auto* combo = form.findChild<QComboBox*>(name))
            return combo->currentText();
        return Find<QLineEdit>(name)->text();
    }
    // Changes a control as the user does: sets a check box "on" or "off", picks an item of a list,
    // or types over the text of an edit or editable combo box.
    void Set(const char* name, const QString& value)
    {
        auto* combo = form.findChild<QComboBox*>(name);
        if (auto* box = form.findChild<QCheckBox*>(name)) {
            if (box->isChecked() != (value == "on"))
                QTest::keyClick(box, Qt::Key_Space);
        } else if (combo && !combo->isEditable()) {
            combo->setCurrentIndex(combo->findText(value));
        } else {
            QLineEdit* edit = combo ? combo->lineEdit() : Find<QLineEdit>(name);
            edit->selectAll();
            QTest::keyClick(edit, Qt::Key_Delete);
            QTest::keyClicks(edit, value);
        }
    }
    // Clicks OK; returns the message box it raised, answered with its OK button.
    std::optional<SeenBox> PressOk()
    {
        std::optional<SeenBox> seen;
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                answer.stop();
                seen = SeenBox{box->text(), box->windowTitle(), box->icon()};
                QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
            }
        });
        answer.start(5);
        QTest::mouseClick(Find<QPushButton>("btOK"), Qt::LeftButton);
        return seen;
    }
    void PressCancel() { QTest::mouseClick(Find<QPushButton>("btCancel"), Qt::LeftButton); }
    std::filesystem::path AutostartEntry() const
    {
        return store.Dir() / "autostart" / "org.quillmar.Quillmar.desktop";
    }
};

} // namespace test
