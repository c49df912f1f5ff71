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
        boxes << box->windowTitle() + "|" + box->text() +
                     (box->informativeText().isEmpty() ? "" : "|" + box->informativeText());
        if (whileOpen)
            whileOpen();
        if (QAbstractButton* yes = answerYes ? box->button(QMessageBox::Yes) : nullptr)
            yes->click();
        else
            box->reject();
    });
}
