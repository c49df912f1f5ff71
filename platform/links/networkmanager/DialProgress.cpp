#include "platform/links/networkmanager/DialProgress.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// QDialog's own result codes are 0 (rejected) and 1 (accepted).
constexpr int TimedOutCode = 2;

} // namespace

DialProgress::DialProgress(const QString& entry, std::chrono::milliseconds limit) : limit_(limit)
{
    setObjectName("DialProgress");
    setWindowTitle("Quillmar");
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QString("Dialing %1…").arg(entry), this));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

DialProgress::Outcome DialProgress::Run()
{
    if (finished_)
        return Outcome::Finished;
    QTimer::singleShot(limit_, this, [this] { done(TimedOutCode); });
    switch (exec()) {
    case Accepted:
        return Outcome::Finished;
    case TimedOutCode:
        return Outcome::TimedOut;
    default: // Cancel, Escape or the window closed
        return Outcome::Cancelled;
    }
}

void DialProgress::Finish()
{
    finished_ = true;
    if (isVisible())
        accept();
}
