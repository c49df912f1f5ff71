// The protocol: the user's in-memory event log, newest line last and always in view.
#include "app/Fmain.h"

#include <QListWidget>
#include <cstdarg>
#include <cstdio>
#include <vector>

namespace {

// The list keeps 5001 lines at most; trimming one line per call keeps every call equally cheap.
constexpr int MaxProtocolLines = 5000;

} // namespace

void TFormMain::AddProtocolLine(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    std::vector<char> text(length > 0 ? length + 1 : 1, '\0');
    if (length > 0)
        std::vsnprintf(text.data(), text.size(), format, args);
    va_end(args);

    if (lbLog->count() > MaxProtocolLines)
        delete lbLog->takeItem(0);
    lbLog->addItem(QString::fromUtf8(text.data()));
    lbLog->setCurrentRow(lbLog->count() - 1);
    lbLog->scrollToItem(lbLog->currentItem());
    // Visible at once, even while the caller goes on with a long step.
    repaint();
}
