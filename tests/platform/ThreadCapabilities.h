#pragma once

namespace test {

// Capabilities belong to a thread, so this leaves the rest of the test process alone. Programs
// the thread starts as root get every capability back.
void DropNetAdminOnThisThread();

} // namespace test
