#pragma once

#include <stdexcept>

namespace platform {

// Every failure of the network clients: the one family the program catches, logs and retries.
// Anything else is a fault and reaches the application's exception display.
class NetworkError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace platform
