#include "app/MainWindowFixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace test {

MainWindowFixture::MainWindowFixture() : settings(std::make_unique<CRegVars>(store.File()))
{
    settings->Connection.Set("dsl");
    settings->InfoShown.Set(1); // the first tick's information box only where a test asks for it
}

MainWindowFixture::~MainWindowFixture() = default;

void MainWindowFixture::StartWindow()
{
    StartWindow(ras);
}

void MainWindowFixture::StartWindow(platform::RasApi& links)
{
    form = std::make_unique<TFormMain>(
        FormMainServices{*settings, links, clock, *http, *sntp, pause, tray});
    form->WatchTimer->stop();
}

void MainWindowFixture::Tick(int times)
{
    for (int i = 0; i < times; ++i)
        form->WatchTimerTimer();
}

QStringList MainWindowFixture::Protocol() const
{
    QStringList lines;
    for (int i = 0; i < form->lbLog->count(); ++i)
        lines << form->lbLog->item(i)->text();
    return lines;
}

QStringList MainWindowFixture::NewLines()
{
    const QStringList all = Protocol();
    const QStringList added = all.mid(seenLines);
    seenLines = all.size();
    return added;
}

FakeRasApi::Connection& MainWindowFixture::ConnectLine(std::uint32_t received,
                                                       std::uint32_t transmitted,
                                                       std::uint32_t durationMs)
{
    FakeRasApi::Connection& line = ras.Add("dsl", 7);
    line.stats = {received, transmitted, durationMs};
    return line;
}

void MainWindowFixture::SetLineCounters(std::uint32_t received, std::uint32_t transmitted,
                                        std::uint32_t durationMs)
{
    ras.Find("dsl")->stats = {received, transmitted, durationMs};
}

void MainWindowFixture::DropLine()
{
    std::erase_if(ras.connections, [](const auto& c) { return c.entry == "dsl"; });
}

MessageBoxRecorder::MessageBoxRecorder()
{
    Poll();
}

MessageBoxRecorder::~MessageBoxRecorder()
{
    *alive_ = false;
}

// A fresh single-shot timer per look, so that a box opened inside `whileOpen` (a nested event
// loop) is answered too.
void MessageBoxRecorder::Poll()
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

} // namespace test
