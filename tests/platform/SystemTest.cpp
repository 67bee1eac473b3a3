#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <cstring>

#include "PlatformTestSupport.h"
#include "platform/System.h"

using platform_test::ScopedEnv;

TEST(SystemTest, TickCountsMoveForwardTogether) {
  const uint64_t first = platform::GetTickCount64();
  const uint32_t narrow = platform::GetTickCount();
  const uint64_t second = platform::GetTickCount64();
  EXPECT_LE(first, second);
  EXPECT_EQ(narrow, static_cast<uint32_t>(narrow));
  // The 32-bit count is the 64-bit one cut to 32 bits.
  EXPECT_LE(static_cast<uint32_t>(narrow - static_cast<uint32_t>(first)),
            static_cast<uint32_t>(second - first));
}

TEST(SystemTest, SixtyFourBitMachineByDefault) {
  ScopedEnv force("VORNIK_FORCE_32BIT_OS", std::nullopt);
  utsname name{};
  ASSERT_EQ(uname(&name), 0);
  bool is64 = false;
  ASSERT_TRUE(platform::IsWow64Process(&is64));
  EXPECT_EQ(is64,
            std::strstr(name.machine, "64") != nullptr || std::strcmp(name.machine, "s390x") == 0);
#if defined(__x86_64__) || defined(__aarch64__)
  EXPECT_TRUE(is64);  // a 64-bit process runs on a 64-bit kernel
#endif
}

TEST(SystemTest, TestsForceAThirtyTwoBitSystem) {
  ScopedEnv force("VORNIK_FORCE_32BIT_OS", "1");
  bool is64 = true;
  ASSERT_TRUE(platform::IsWow64Process(&is64));
  EXPECT_FALSE(is64);
}

TEST(SystemTest, TestsMakeTheQueryUnavailable) {
  ScopedEnv force("VORNIK_FORCE_32BIT_OS", "unavailable");
  bool is64 = true;
  EXPECT_FALSE(platform::IsWow64Process(&is64));
  EXPECT_TRUE(is64);  // untouched
}

TEST(SystemTest, OtherValuesDoNotForce) {
  ScopedEnv force("VORNIK_FORCE_32BIT_OS", "0");
  bool is64 = false;
  ASSERT_TRUE(platform::IsWow64Process(&is64));
#if defined(__x86_64__) || defined(__aarch64__)
  EXPECT_TRUE(is64);
#endif
  EXPECT_FALSE(platform::IsWow64Process(nullptr));
}

TEST(SystemTest, ComSucceedsAndFirewallIsNotRegistered) {
  EXPECT_TRUE(platform::CoInitializeApartment());
  platform::CoUninitialize();
  EXPECT_EQ(platform::CreateFirewallManager(), 0x80040154u);
  EXPECT_EQ(platform::kClassNotRegistered, 0x80040154u);
}
