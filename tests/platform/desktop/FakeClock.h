#pragma once

#include "platform/desktop/Clock.h"

namespace test {

class FakeClock final : public platform::Clock {
public:
    QDateTime now{QDate(2026, 12, 6), QTime(20, 15, 30)};
    QDateTime Now() const override { return now; }
};

} // namespace test
