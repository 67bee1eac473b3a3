#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Network.h"
#include "support/TestEnvironment.h"

namespace {

using testing_support::WriteFile;

struct Interface {
  std::string name;
  std::string type;
  std::string flags;
  std::string operstate;
  std::string carrier;  // "" leaves the file out
};

class NetworkAliveTest : public ::testing::Test {
 protected:
  void SetUp() override { env_.SetEnv("VORNIK_SYSFS_ROOT", env_.Root() + "/sys"); }
  void TearDown() override { platform::ForceNetworkAliveForTesting(-1); }

  // Writes the interface's files under the sysfs root folder.
  static void Add(const std::string& root, const Interface& i) {
    const std::string base = root + "/class/net/" + i.name;
    WriteFile(base + "/type", i.type + "\n");
    WriteFile(base + "/flags", i.flags + "\n");
    WriteFile(base + "/operstate", i.operstate + "\n");
    if (!i.carrier.empty()) WriteFile(base + "/carrier", i.carrier + "\n");
  }

  testing_support::TestEnvironment env_;
};

const Interface kLoopback{"lo", "772", "0x9", "unknown", "1"};

TEST_F(NetworkAliveTest, NeedsAnInterfaceOtherThanLoopbackUpAndRunning) {
  struct Case {
    const char* name;
    std::vector<Interface> interfaces;
    bool alive;
  };
  const Case cases[] = {
      {"no interfaces folder", {}, false},
      {"loopback only", {kLoopback}, false},
      {"ethernet up", {kLoopback, {"eth0", "1", "0x1003", "up", "1"}}, true},
      {"ethernet without carrier", {kLoopback, {"eth0", "1", "0x1003", "down", "0"}}, false},
      {"administratively down", {{"eth0", "1", "0x1002", "up", "1"}}, false},
      {"tunnel, unknown state with carrier", {{"tun0", "65534", "0x1091", "unknown", "1"}}, true},
      {"unknown state without carrier", {{"tun0", "65534", "0x1091", "unknown", "0"}}, false},
      {"loopback flag on another name", {{"lo2", "1", "0x9", "up", "1"}}, false},
      {"malformed flags", {{"eth0", "1", "up", "up", "1"}}, false},
      {"one of two alive",
       {{"eth0", "1", "0x1002", "down", ""}, {"wlan0", "1", "0x1003", "up", "1"}},
       true},
  };
  env_.SetEnv("VORNIK_NETWORK_ALIVE", "");  // the sandbox's default answer stays out
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string root = env_.Root() + "/sys" + std::to_string(++index);
    env_.SetEnv("VORNIK_SYSFS_ROOT", root);
    for (const Interface& i : c.interfaces) Add(root, i);
    EXPECT_EQ(c.alive, platform::IsNetworkAlive());
  }
}

TEST_F(NetworkAliveTest, ForcingWinsOverEnvironmentWhichWinsOverSysfs) {
  Add(env_.Root() + "/sys", {"eth0", "1", "0x1003", "up", "1"});
  EXPECT_TRUE(platform::IsNetworkAlive());
  env_.SetEnv("VORNIK_NETWORK_ALIVE", "0");
  EXPECT_FALSE(platform::IsNetworkAlive());
  env_.SetEnv("VORNIK_NETWORK_ALIVE", "yes");  // not 0 or 1: ignored
  EXPECT_TRUE(platform::IsNetworkAlive());
  platform::ForceNetworkAliveForTesting(0);
  EXPECT_FALSE(platform::IsNetworkAlive());
  env_.SetEnv("VORNIK_NETWORK_ALIVE", "1");
  EXPECT_FALSE(platform::IsNetworkAlive());
  platform::ForceNetworkAliveForTesting(-1);
  EXPECT_TRUE(platform::IsNetworkAlive());
}

}  // namespace
