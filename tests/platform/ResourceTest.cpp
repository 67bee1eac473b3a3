#include <gtest/gtest.h>

#include <cstring>

#include "platform/Resource.h"

// The test binary links the skin object, so only the success path and the
// wrong-name failures can be seen here; a binary without the skin object gets
// false for every lookup (weak symbols).

TEST(ResourceTest, SkinPackageIsZipres138) {
  platform::ResourceBytes bytes;
  ASSERT_TRUE(platform::LoadResourceBytes(L"ZIPRES", 138, &bytes));
  ASSERT_NE(bytes.data, nullptr);
  ASSERT_GE(bytes.size, 22u);  // the smallest ZIP archive: an end-of-central-directory record
  EXPECT_EQ(std::memcmp(bytes.data, "PK", 2), 0);
  platform::ResourceBytes again;
  ASSERT_TRUE(platform::LoadResourceBytes(L"zipres", 138, &again));  // type names ignore case
  EXPECT_EQ(again.data, bytes.data);
  EXPECT_EQ(again.size, bytes.size);
}

TEST(ResourceTest, OtherResourcesAreNotThere) {
  platform::ResourceBytes bytes;
  EXPECT_FALSE(platform::LoadResourceBytes(L"ZIPRES", 139, &bytes));
  EXPECT_FALSE(platform::LoadResourceBytes(L"ZIPRE", 138, &bytes));
  EXPECT_FALSE(platform::LoadResourceBytes(L"PNG", 138, &bytes));
  EXPECT_FALSE(platform::LoadResourceBytes(L"", 138, &bytes));
  EXPECT_EQ(bytes.data, nullptr);
  EXPECT_EQ(bytes.size, 0u);
  EXPECT_FALSE(platform::LoadResourceBytes(L"ZIPRES", 138, nullptr));
}
