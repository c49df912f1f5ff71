#include "app/MainWindowFixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

// A fresh single-shot timer per look, so that a box opened inside `whileOpen` (a nested event
// loop) is answered too.
void test::MessageBoxRecorder::Poll()
{
    QTimer::singleShot(2, [this, alive = alive_] {
        if (!*alive)
            return;
        Poll();
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || box->property("recorded").toBool())
            return;
        box->setProperty("recorded", true);
        boxes << box->windowTitle() + "|" + box->text();
        if (whileOpen)
            whileOpen();
        QAbstractButton* answer = answerYes ? box->button(QMessageBox::Yes) : nullptr;
        if (!answer)
            answer = box->escapeButton() ? box->escapeButton()
                                         : static_cast<QAbstractButton*>(box->defaultButton());
        if (answer)
            answer->click();
        else
            box->close();
    });
}
