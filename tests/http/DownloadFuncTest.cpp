// The write callback of the range download, fed directly as libcurl would:
// where the bytes land, where DownloadedPos ends, and what is refused.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include "HttpTestSupport.h"

namespace http_test {
namespace {

class DownloadFuncTest : public ::testing::Test {
 protected:
  void SetUp() override { target_ = std::make_unique<SharedTarget>(env_.Root() + "/file.bin"); }

  testing_support::TestEnvironment env_;
  std::unique_ptr<SharedTarget> target_;
  LogRecorder log_;
};

std::string RangeLine(int64_t first, int64_t last, int64_t total) {
  return "Content-Range: bytes " + std::to_string(first) + "-" + std::to_string(last) + "/" +
         std::to_string(total) + "\r\n";
}

constexpr char k206[] = "HTTP/1.1 206 Partial Content\r\n";

struct ChunkCase {
  const char* name;
  int64_t startPos, endPos, length;
  std::vector<int64_t> chunks;     // sizes of the body chunks of one response
  std::vector<size_t> answers;     // what downloadFunc answers to each
  std::vector<int64_t> positions;  // DownloadedPos after each
  int64_t fileSize;                // size of the local file afterwards
};

void PrintTo(const ChunkCase& c, std::ostream* out) { *out << c.name; }

class ClippingTest : public DownloadFuncTest, public ::testing::WithParamInterface<ChunkCase> {};

TEST_P(ClippingTest, BytesLandAtTheirOffsetAndNeverPastTheSlice) {
  const ChunkCase& c = GetParam();
  SliceWorker slice(target_.get(), c.startPos, c.endPos, c.length);
  StartResponse(&slice.worker, c.startPos, k206, RangeLine(c.startPos, c.endPos, c.length));
  int64_t offset = c.startPos;
  for (size_t i = 0; i < c.chunks.size(); ++i) {
    EXPECT_EQ(FeedBody(&slice.worker, FileBytes(offset, c.chunks[i])), c.answers[i]) << i;
    EXPECT_EQ(slice.task.DownloadedPos.load(), c.positions[i]) << i;
    offset += c.chunks[i];
  }
  const std::string file = target_->Contents();
  ASSERT_EQ(static_cast<int64_t>(file.size()), c.fileSize);
  EXPECT_EQ(file.substr(c.startPos), FileBytes(c.startPos, c.fileSize - c.startPos));
}

INSTANTIATE_TEST_SUITE_P(
    Chunks, ClippingTest,
    ::testing::Values(
        // The chunk's last byte falls on EndPos: all of it is written.
        ChunkCase{"ExactFit", 100, 199, 1000, {60, 40}, {60, 40}, {160, 199}, 200},
        // A chunk that crosses EndPos is cut there and the transfer ends.
        ChunkCase{"CrossesTheEnd", 100, 199, 1000, {60, 50}, {60, 40}, {160, 199}, 200},
        // Once the slice is full, further bytes are dropped, and the byte at
        // EndPos keeps its value (not the next byte of the stream).
        ChunkCase{"BeyondTheEnd", 100, 199, 1000, {100, 10}, {100, 0}, {199, 199}, 200},
        // One byte short of EndPos: the slice must not read complete yet.
        ChunkCase{"OneShort", 100, 199, 1000, {99, 1}, {99, 1}, {198, 199}, 200},
        ChunkCase{"OneShortThenMore", 100, 199, 1000, {99, 5}, {99, 1}, {198, 199}, 200},
        // The last slice ends at the length itself, one past the last byte.
        ChunkCase{"LastSlice", 900, 1000, 1000, {50, 50}, {50, 50}, {950, 1000}, 1000},
        ChunkCase{
            "LastSliceWithExtraBytes", 900, 1000, 1000, {50, 55}, {50, 50}, {950, 1000}, 1000}),
    [](const ::testing::TestParamInfo<ChunkCase>& info) { return std::string(info.param.name); });

TEST_F(DownloadFuncTest, AnAttemptThatDiesOneShortResumesAndCompletes) {
  SliceWorker slice(target_.get(), 100, 199, 1000);
  StartResponse(&slice.worker, 100, k206, RangeLine(100, 199, 1000));
  ASSERT_EQ(FeedBody(&slice.worker, FileBytes(100, 99)), 99u);
  ASSERT_FALSE(slice.task.IsComplete());

  // The next attempt asks from DownloadedPos, as the worker does.
  const int64_t from = slice.task.DownloadedPos;
  StartResponse(&slice.worker, from, k206, RangeLine(from, 199, 1000));
  EXPECT_EQ(FeedBody(&slice.worker, FileBytes(from, 199 - from + 1)), size_t(199 - from + 1));
  EXPECT_TRUE(slice.task.IsComplete());
  EXPECT_EQ(target_->Contents().substr(100), FileBytes(100, 100));
}

struct RefusalCase {
  const char* name;
  int64_t first;
  std::string statusLine;
  std::string rangeLine;
};

void PrintTo(const RefusalCase& c, std::ostream* out) { *out << c.name; }

class RefusalTest : public DownloadFuncTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusalTest, AReplyThatIsNotTheAskedRangeWritesNothing) {
  const RefusalCase& c = GetParam();
  SliceWorker slice(target_.get(), c.first, c.first + 99, 1000);
  slice.worker.rangeResponse().Reset(c.first);
  if (!c.statusLine.empty()) FeedHeader(&slice.worker, c.statusLine);
  if (!c.rangeLine.empty()) FeedHeader(&slice.worker, c.rangeLine);
  EXPECT_EQ(FeedBody(&slice.worker, FileBytes(0, 50)), 0u);
  EXPECT_EQ(slice.task.DownloadedPos.load(), c.first);
  EXPECT_EQ(target_->Contents(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Replies, RefusalTest,
    ::testing::Values(RefusalCase{"ErrorPage", 100, "HTTP/1.1 404 Not Found\r\n", ""},
                      RefusalCase{"WholeFileForALaterRange", 100, "HTTP/1.1 200 OK\r\n", ""},
                      RefusalCase{"OtherRange", 100, k206, RangeLine(0, 99, 1000)},
                      RefusalCase{"PartialWithoutRange", 100, k206, ""},
                      RefusalCase{"RangeNotSatisfiable", 100,
                                  "HTTP/1.1 416 Range Not Satisfiable\r\n",
                                  "Content-Range: bytes */1000\r\n"},
                      RefusalCase{"NoResponseHead", 100, "", ""}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

TEST_F(DownloadFuncTest, AWholeFileAnswerToARangeFromByteZeroFillsTheSlice) {
  SliceWorker slice(target_.get(), 0, 99, 1000);
  StartResponse(&slice.worker, 0, "HTTP/1.1 200 OK\r\n");
  EXPECT_EQ(FeedBody(&slice.worker, FileBytes(0, 150)), 100u);
  EXPECT_TRUE(slice.task.IsComplete());
  EXPECT_EQ(target_->Contents(), FileBytes(0, 100));
}

TEST_F(DownloadFuncTest, AFailedWriteKeepsThePositionAndIsLogged) {
  SliceWorker slice(target_.get(), 100, 199, 1000);
  StartResponse(&slice.worker, 100, k206, RangeLine(100, 199, 1000));
  target_->file().Close();
  EXPECT_EQ(FeedBody(&slice.worker, FileBytes(100, 10)), 0u);
  EXPECT_EQ(slice.task.DownloadedPos.load(), 100);
  EXPECT_TRUE(log_.Contains(
      " Thread: 1 Write Error. Task id：1 Download to:100 Receive:10 Write:0 Task EndPos:199"));
}

TEST_F(DownloadFuncTest, OffsetsBeyondFourGiBLandInASparseFile) {
  const int64_t start = int64_t{5} << 30;
  const int64_t length = int64_t{6} << 30;
  SliceWorker slice(target_.get(), start, start + 4095, length);
  StartResponse(&slice.worker, start, k206, RangeLine(start, start + 4095, length));
  ASSERT_EQ(FeedBody(&slice.worker, FileBytes(start, 4096)), 4096u);
  EXPECT_TRUE(slice.task.IsComplete());

  std::string back(4096, '\0');
  ASSERT_EQ(target_->file().ReadAt(start, back.data(), back.size()), back.size());
  EXPECT_EQ(back, FileBytes(start, 4096));
  char hole = 'x';
  ASSERT_EQ(target_->file().ReadAt(int64_t{4} << 30, &hole, 1), 1u);
  EXPECT_EQ(hole, '\0');
}

// A task file is written after the flush; the bytes it claims must survive a
// kill of the process that wrote them.
TEST_F(DownloadFuncTest, FlushedBytesSurviveAKill) {
  SliceWorker slice(target_.get(), 0, 999, 1000);
  EXPECT_EXIT(
      {
        StartResponse(&slice.worker, 0, k206, RangeLine(0, 999, 1000));
        FeedBody(&slice.worker, FileBytes(0, 1000));
        FlushSharedFile(&target_->mutex(), &target_->file());
        std::raise(SIGKILL);
      },
      ::testing::KilledBySignal(SIGKILL), "");
  EXPECT_EQ(target_->Contents(), FileBytes(0, 1000));
}

}  // namespace
}  // namespace http_test
