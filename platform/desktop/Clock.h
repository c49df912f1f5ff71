#pragma once

#include <QDateTime>

namespace platform {

// Local date and time, replaceable in tests.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime Now() const = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime Now() const override { return QDateTime::currentDateTime(); }
};

} // namespace platform
