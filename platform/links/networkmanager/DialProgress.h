#pragma once

#include <QDialog>
#include <chrono>

// The small modal box shown while a connection is being dialled: "Dialing <entry>…" and Cancel.
// Run() shows it and runs its own event loop until Finish() is called, the user cancels or the
// limit passes; the program's timers and windows go on working meanwhile.
class DialProgress : public QDialog {
public:
    enum class Outcome { Finished, Cancelled, TimedOut };

    DialProgress(const QString& entry, std::chrono::milliseconds limit);

    // Returns at once when the dial finished before.
    Outcome Run();
    void Finish();

private:
    std::chrono::milliseconds limit_;
    bool finished_ = false;
};
