#include <gtest/gtest.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "PlatformTestSupport.h"
#include "platform/Drives.h"
#include "platform/Paths.h"
#include "support/TestEnvironment.h"

using platform_test::ScopedEnv;
using platform_test::TempFolder;
using platform_test::Wide;
using testing_support::WriteFile;

namespace {

// A fake machine: mount points under <temp>/mnt, a sysfs under <temp>/sys and
// a mountinfo file that ties them together.
class DrivesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string pci = "/sys/devices/pci0000:00";
    AddDisk("sda", pci + "/0000:00:1f.2/ata1/host0/target0:0:0/0:0:0:0/block/sda", "0",
            {{"sda1", "8:1"}, {"sda2", "8:2"}});
    AddDisk("sdb", pci + "/0000:00:14.0/usb1/1-1/1-1:1.0/host6/target6:0:0/6:0:0:0/block/sdb", "0",
            {{"sdb1", "8:17"}});
    AddDisk("sdc", pci + "/0000:00:1f.2/ata2/host1/target1:0:0/1:0:0:0/block/sdc", "1",
            {{"sdc1", "8:33"}});
    AddDisk("nvme0n1", pci + "/0000:00:1d.0/0000:3d:00.0/nvme/nvme0/nvme0n1", "0",
            {{"nvme0n1p1", "259:1"}});
    for (const char* folder : {"root", "my disk", "usb", "removable", "nfs", "ro", "fuse", "byroot",
                               "tmp", "nvme", "root/nested"})
      platform::CreateDirectories(Wide(Mnt(folder)));
    WriteFile(Mnt("hostsfile"), "");
    const std::string m = temp_.Path() + "/mnt/";
    WriteFile(temp_ / "mountinfo", "1 0 8:1 / " + m +
                                       "root rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
                                       "2 1 0:5 / /proc rw,nosuid - proc proc rw\n"
                                       "3 1 8:2 / " +
                                       m +
                                       "my\\040disk rw master:3 shared:4 - ext4 /dev/sda2 rw\n"
                                       "4 1 8:17 / " +
                                       m +
                                       "usb rw - vfat /dev/sdb1 rw\n"
                                       "5 1 8:33 / " +
                                       m +
                                       "removable rw - vfat /dev/sdc1 rw\n"
                                       "6 1 0:40 / " +
                                       m +
                                       "nfs rw - nfs4 server:/export rw\n"
                                       "7 1 259:1 / " +
                                       m +
                                       "ro ro,relatime - ext4 /dev/nvme0n1p1 rw\n"
                                       "8 1 0:41 / " +
                                       m +
                                       "fuse rw - fuse.sshfs /dev/fuse rw\n"
                                       "9 1 8:1 /etc/hosts " +
                                       m +
                                       "hostsfile rw - ext4 /dev/sda1 rw\n"
                                       "10 1 8:2 / " +
                                       m +
                                       "byroot rw - ext4 /dev/root rw\n"
                                       "11 1 0:42 / " +
                                       m +
                                       "tmp rw - tmpfs tmpfs rw\n"
                                       "12 1 259:1 / " +
                                       m +
                                       "nvme rw - xfs /dev/nvme0n1p1 rw\n"
                                       "13 1 8:1 / " +
                                       m +
                                       "root/nested rw - ext4 /dev/sda1 rw\n"
                                       "garbage line\n");
  }

  std::string Mnt(const std::string& name) const { return temp_.Path() + "/mnt/" + name; }

  void AddDisk(const std::string& name, const std::string& devicePath, const std::string& removable,
               const std::vector<std::pair<std::string, std::string>>& partitions) {
    const std::string disk = temp_.Path() + devicePath;
    platform::CreateDirectories(Wide(disk));
    platform::CreateDirectories(Wide(temp_ / "sys/class/block"));
    platform::CreateDirectories(Wide(temp_ / "sys/dev/block"));
    WriteFile(disk + "/removable", removable + "\n");
    EXPECT_EQ(symlink(disk.c_str(), (temp_ / ("sys/class/block/" + name)).c_str()), 0);
    int number = 1;
    for (const auto& [partition, majorMinor] : partitions) {
      const std::string folder = disk + "/" + partition;
      platform::CreateDirectories(Wide(folder));
      WriteFile(folder + "/partition", std::to_string(number++) + "\n");
      EXPECT_EQ(symlink(folder.c_str(), (temp_ / ("sys/class/block/" + partition)).c_str()), 0);
      EXPECT_EQ(symlink(folder.c_str(), (temp_ / ("sys/dev/block/" + majorMinor)).c_str()), 0);
    }
  }

  TempFolder temp_;
  ScopedEnv mountInfo_{"VORNIK_MOUNTINFO", temp_ / "mountinfo"};
  ScopedEnv sysfs_{"VORNIK_SYSFS_ROOT", temp_ / "sys"};
  ScopedEnv fixed_{"VORNIK_FIXED_DRIVES", std::nullopt};
};

uint64_t FreeBytes(const std::string& path) {
  struct statvfs info {};
  EXPECT_EQ(statvfs(path.c_str(), &info), 0);
  return static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
}

}  // namespace

TEST_F(DrivesTest, FixedDrivesFromTheMountTable) {
  const std::vector<std::wstring> expected = {Wide(Mnt("root/")), Wide(Mnt("my disk/")),
                                              Wide(Mnt("byroot/")), Wide(Mnt("nvme/")),
                                              Wide(Mnt("root/nested/"))};
  EXPECT_EQ(platform::GetFixedDriveRoots(), expected);
}

TEST_F(DrivesTest, DriveRootIsTheLongestMountPoint) {
  EXPECT_EQ(platform::GetDriveRoot(Wide(Mnt("root/MVDownloader/x"))), Wide(Mnt("root/")));
  EXPECT_EQ(platform::GetDriveRoot(Wide(Mnt("root"))), Wide(Mnt("root/")));
  EXPECT_EQ(platform::GetDriveRoot(Wide(Mnt("root/nested/a"))), Wide(Mnt("root/nested/")));
  EXPECT_EQ(platform::GetDriveRoot(Wide(Mnt("my disk/a b"))), Wide(Mnt("my disk/")));
  EXPECT_EQ(platform::GetDriveRoot(Wide(Mnt("rootless/a"))), L"/");  // not a component match
  EXPECT_EQ(platform::GetDriveRoot(L"/proc/self"), L"/proc/");
  EXPECT_EQ(platform::GetDriveRoot(L"/elsewhere"), L"/");
  EXPECT_EQ(platform::GetDriveRoot(L"relative/path"), L"/");
}

TEST_F(DrivesTest, UnreadableMountTableKnowsOnlyTheRoot) {
  ScopedEnv mountInfo("VORNIK_MOUNTINFO", temp_ / "missing");
  EXPECT_TRUE(platform::GetFixedDriveRoots().empty());
  EXPECT_EQ(platform::GetDriveRoot(Wide(Mnt("root/a"))), L"/");
  EXPECT_EQ(platform::MovePathToRoomiestDrive(L"/MVDownloader/x"), L"/MVDownloader/x");
}

TEST_F(DrivesTest, ForcedFixedDrivesReplaceTheDetection) {
  ScopedEnv fixed("VORNIK_FIXED_DRIVES", temp_ / "a" + ":" + temp_ / "b/" + "::" + temp_ / "a");
  const std::vector<std::wstring> expected = {Wide(temp_ / "a/"), Wide(temp_ / "b/")};
  EXPECT_EQ(platform::GetFixedDriveRoots(), expected);
  // They also count as drives for GetDriveRoot.
  EXPECT_EQ(platform::GetDriveRoot(Wide(temp_ / "b/MVDownloader")), Wide(temp_ / "b/"));
}

TEST_F(DrivesTest, EmptyForcedListMeansNoFixedDrive) {
  ScopedEnv fixed("VORNIK_FIXED_DRIVES", "");
  EXPECT_TRUE(platform::GetFixedDriveRoots().empty());
  EXPECT_EQ(platform::MovePathToRoomiestDrive(Wide(Mnt("root/MVDownloader/x"))),
            Wide(Mnt("root/MVDownloader/x")));
}

TEST_F(DrivesTest, FreeBytesForCaller) {
  uint64_t freeBytes = 0;
  ASSERT_TRUE(platform::GetFreeBytesForCaller(temp_.WidePath(), &freeBytes));
  EXPECT_GT(freeBytes, 0u);
  EXPECT_FALSE(platform::GetFreeBytesForCaller(Wide(temp_ / "missing"), &freeBytes));
  EXPECT_FALSE(platform::GetFreeBytesForCaller(temp_.WidePath(), nullptr));
}

TEST_F(DrivesTest, MoveKeepsThePathBelowItsRoot) {
  platform::CreateDirectories(Wide(temp_ / "a"));
  platform::CreateDirectories(Wide(temp_ / "b"));
  // Same free bytes: the first drive wins, a tie does not replace it.
  ScopedEnv fixed("VORNIK_FIXED_DRIVES", temp_ / "a=5000:" + temp_ / "b=5000");
  EXPECT_EQ(platform::MovePathToRoomiestDrive(Wide(Mnt("root/MVDownloader/setup"))),
            Wide(temp_ / "a/MVDownloader/setup"));
  EXPECT_EQ(platform::MovePathToRoomiestDrive(Wide(temp_ / "b/MVDownloader/setup")),
            Wide(temp_ / "a/MVDownloader/setup"));
  EXPECT_EQ(platform::MovePathToRoomiestDrive(Wide(temp_ / "b")), Wide(temp_ / "a/"));
  EXPECT_EQ(platform::MovePathToRoomiestDrive(L"/MVDownloader/x"),
            Wide(temp_ / "a/MVDownloader/x"));
}

TEST_F(DrivesTest, ForcedFreeBytesDecideTheDrive) {
  platform::CreateDirectories(Wide(temp_ / "a/inner"));
  platform::CreateDirectories(Wide(temp_ / "b"));
  ScopedEnv fixed("VORNIK_FIXED_DRIVES", temp_ / "a=100:" + temp_ / "b=200");
  uint64_t freeBytes = 0;
  ASSERT_TRUE(platform::GetFreeBytesForCaller(Wide(temp_ / "a/inner"), &freeBytes));
  EXPECT_EQ(freeBytes, 100u);
  EXPECT_FALSE(platform::GetFreeBytesForCaller(Wide(temp_ / "a/missing"), &freeBytes));
  EXPECT_EQ(platform::MovePathToRoomiestDrive(Wide(temp_ / "a/MVDownloader")),
            Wide(temp_ / "b/MVDownloader"));
  EXPECT_EQ(platform::GetDriveRoot(Wide(temp_ / "a/inner")), Wide(temp_ / "a/"));
}

TEST_F(DrivesTest, MoveSkipsDrivesThatCannotBeQueried) {
  platform::CreateDirectories(Wide(temp_ / "b"));
  ScopedEnv fixed("VORNIK_FIXED_DRIVES", temp_ / "missing" + ":" + temp_ / "b");
  EXPECT_EQ(platform::MovePathToRoomiestDrive(Wide(Mnt("root/MVDownloader"))),
            Wide(temp_ / "b/MVDownloader"));
}

TEST_F(DrivesTest, MovePicksTheDriveWithTheMostFreeBytes) {
  if (!platform::IsDirectory(L"/dev/shm")) GTEST_SKIP() << "needs a second file system";
  platform::CreateDirectories(Wide(temp_ / "b"));
  ScopedEnv fixed("VORNIK_FIXED_DRIVES", "/dev/shm:" + temp_ / "b");
  const bool shmWins = FreeBytes("/dev/shm") >= FreeBytes(temp_ / "b");
  EXPECT_EQ(platform::MovePathToRoomiestDrive(Wide(Mnt("root/MVDownloader"))),
            shmWins ? std::wstring(L"/dev/shm/MVDownloader") : Wide(temp_ / "b/MVDownloader"));
}

TEST(DrivesMachineTest, RealMountTableGivesRootsEndingInSlash) {
  ScopedEnv fixed("VORNIK_FIXED_DRIVES", std::nullopt);
  for (const std::wstring& root : platform::GetFixedDriveRoots()) {
    ASSERT_FALSE(root.empty());
    EXPECT_EQ(root.back(), L'/');
    EXPECT_TRUE(platform::IsDirectory(root));
  }
  EXPECT_EQ(platform::GetDriveRoot(L"/"), L"/");
}
