// A real downloading process killed with SIGKILL at several points and
// started again: the final file is right, and each restart fetches no more
// than what its task file says is missing plus one slice per worker.
#include <gtest/gtest.h>
#include <signal.h>

#include <memory>
#include <string>
#include <vector>

#include "CDownloadTaskManager.h"
#include "MD5.h"
#include "SuperviseFixture.h"
#include "support/ChildProcess.h"

namespace supervise_test {
namespace {

constexpr int kWorkers = 4;
constexpr int kSlices = 16;
constexpr int64_t kSize = 4 * 1024 * 1024;
constexpr int64_t kSliceSize = kSize / kSlices;

class KillResumeTest : public SuperviseTest {
 protected:
  std::unique_ptr<testing_support::ChildProcess> StartFetch(const std::string& url) {
    const std::string output = env_.Root() + "/fetch" + std::to_string(++runs_) + ".txt";
    return std::make_unique<testing_support::ChildProcess>(
        VORNIK_FETCH_EXE,
        std::vector<std::string>{"--threads", std::to_string(kWorkers), "--slices",
                                 std::to_string(kSlices), url, LocalPath()},
        output);
  }

  // Bytes the task file does not yet record as written.
  int64_t MissingByTaskFile(const std::string& url) const {
    CDownloadTaskManager tasks(url, LocalPath(), LocalPath() + ".xml");
    tasks.loadTaskFromFile(0);
    if (tasks.allTasks().empty()) return kSize;
    int64_t written = 0;
    for (const auto& task : tasks.allTasks()) {
      written += task->DownloadedPos.load() - task->StartPos;
    }
    return kSize - written;
  }

  // Body bytes of this run's answers, once the server has ended them all
  // (answers cut by a kill end when the server sees the connection go).
  int64_t FetchedThisRun() const {
    EXPECT_TRUE(testing_support::WaitUntil([&] {
      for (const auto& exchange : server_->Exchanges()) {
        if (exchange.bodyBytes < 0) return false;
      }
      return true;
    }));
    return server_->BodyBytesServed();
  }

  int runs_ = 0;
};

TEST_F(KillResumeTest, KilledAtSeveralPointsTheFileEndsRightAndLittleIsFetchedTwice) {
  const std::string bytes = Noise(kSize);
  // Paced, so that the kills land in the middle of the download.
  server_->SetRateLimit(256 * 1024);
  const std::string url = Serve(bytes);

  int64_t total = 0;
  for (size_t killAfter : {2u, 5u, 9u}) {
    SCOPED_TRACE(killAfter);
    const int64_t missing = MissingByTaskFile(url);
    server_->ClearExchanges();
    auto run = StartFetch(url);
    ASSERT_TRUE(run->Started());
    // Kill once this run has finished some slices and others are under way.
    ASSERT_TRUE(server_->WaitForExchanges(killAfter, 60000));
    run->Signal(SIGKILL);
    run->Wait();
    const int64_t fetched = FetchedThisRun();
    EXPECT_LE(fetched, missing + kWorkers * kSliceSize) << "missing " << missing;
    total += fetched;
  }

  server_->SetRateLimit(0);
  const int64_t missing = MissingByTaskFile(url);
  server_->ClearExchanges();
  auto last = StartFetch(url);
  ASSERT_EQ(last->Wait(120000), 0) << testing_support::ReadFile(env_.Root() + "/fetch4.txt");
  EXPECT_EQ(Md5OfFile(WideLocalPath()), Md5OfText(bytes));
  const int64_t fetched = FetchedThisRun();
  EXPECT_LE(fetched, missing + kWorkers * kSliceSize);
  // Over all four runs, each kill cost at most the slices under way.
  EXPECT_LE(total + fetched, kSize + 3 * kWorkers * kSliceSize);
}

}  // namespace
}  // namespace supervise_test
