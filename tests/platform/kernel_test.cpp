#include "platform/kernel/kernel.h"

#include <gtest/gtest.h>

using namespace osc::win;

TEST(Kernel, ClosedHandleIsReportedNotUsed) {
  HANDLE e = CreateEvent(true, true);
  ASSERT_TRUE(CloseHandle(e));
  SetLastError(0xdeadbeef);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(SetEvent(e));
  EXPECT_FALSE(CloseHandle(e));
  EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
}
