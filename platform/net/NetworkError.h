#pragma once

#include <string>

namespace platform {

// Every failure of the network clients, as one message text: what the program logs and retries.
struct NetworkError {
    std::string message;
};

} // namespace platform
