#include "settings/OptionsHarness.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace test {

OptionsHarness::OptionsHarness()
{
    ras.entries = {"eth0", "wlan0"};
    vars.Connection.Set("eth0");
}

void OptionsHarness::Open()
{
    form.open();
}

void OptionsHarness::Type(const char* name, const QString& text)
{
    auto* combo = form.findChild<QComboBox*>(name);
    QLineEdit* edit = combo ? combo->lineEdit() : Find<QLineEdit>(name);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

void OptionsHarness::SetChecked(const char* name, bool checked)
{
    auto* box = Find<QCheckBox>(name);
    if (box->isChecked() != checked)
        QTest::keyClick(box, Qt::Key_Space);
}

std::optional<SeenBox> OptionsHarness::PressOk()
{
    std::optional<SeenBox> seen;
    QTimer answer;
    answer.setInterval(5);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            answer.stop();
            seen = SeenBox{box->text(), box->windowTitle(), box->icon()};
            QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        }
    });
    answer.start();
    QTest::mouseClick(Find<QPushButton>("btOK"), Qt::LeftButton);
    return seen;
}

void OptionsHarness::PressCancel()
{
    QTest::mouseClick(Find<QPushButton>("btCancel"), Qt::LeftButton);
}

std::filesystem::path OptionsHarness::AutostartEntry() const
{
    return store.Dir() / "autostart" / "org.quillmar.Quillmar.desktop";
}

} // namespace test
