#include "platform/ThreadCapabilities.h"

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace test {

void DropNetAdminOnThisThread()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    ASSERT_EQ(::syscall(SYS_capget, &header, data), 0);
    data[0].effective &= ~(1u << CAP_NET_ADMIN);
    ASSERT_EQ(::syscall(SYS_capset, &header, data), 0);
}

} // namespace test
