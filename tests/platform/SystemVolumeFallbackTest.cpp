// A root file system without a UUID (the overlay root of a container) takes
// the machine id as its identity, so that the machine still has a uid.
#include <gtest/gtest.h>

#include "platform/SystemVolume.h"
#include "support/TestEnvironment.h"

namespace {

using testing_support::WriteFile;

TEST(SystemVolumeFallback, MachineIdStandsInForARootWithoutUuid) {
  testing_support::TestEnvironment env;
  WriteFile(env.Root() + "/mountinfo", "1 0 0:31 / / rw - overlay overlay rw\n");
  env.SetEnv("VORNIK_MOUNTINFO", env.Root() + "/mountinfo");
  env.SetEnv("VORNIK_DISK_BY_UUID", env.Root() + "/by-uuid");
  struct Case {
    const char* machineId;  // null: no file
    const char* uuid;       // null: none
  } cases[] = {
      {nullptr, nullptr},
      {"0123456789abcdef0123456789ABCDEF\n", "01234567-89ab-cdef-0123-456789ABCDEF"},
      {"0123456789abcdef0123456789abcde\n", nullptr},   // 31 digits
      {"0123456789abcdef0123456789abcdeg\n", nullptr},  // not hexadecimal
      {"", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.machineId ? c.machineId : "(none)");
    std::remove((env.Root() + "/machine-id").c_str());
    if (c.machineId) WriteFile(env.Root() + "/machine-id", c.machineId);
    std::string uuid;
    ASSERT_EQ(platform::GetSystemVolumeUuid(&uuid), c.uuid != nullptr);
    if (!c.uuid) continue;
    EXPECT_EQ(uuid, c.uuid);
    uint32_t serial = 0;
    ASSERT_TRUE(platform::GetSystemVolumeSerial(&serial));
    EXPECT_EQ(serial, 0x01234567u);
  }
}

}  // namespace
