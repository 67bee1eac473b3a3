// The range download against a local server: what the server sees, where the
// bytes land, and how faulty replies end the attempt.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "HttpTestSupport.h"

namespace http_test {
namespace {

constexpr int64_t kLength = 4000;

class RangeDownloadTest : public HttpServerTest {
 protected:
  void SetUp() override {
    HttpServerTest::SetUp();
    target_ = std::make_unique<SharedTarget>(env_.Root() + "/file.bin");
  }

  void Serve(RangeServing serving) { server_->SetHandler(ServeRanges(std::move(serving))); }
  static RangeServing Plain() { return RangeServing{kLength}; }

  // One attempt on the slice, from its DownloadedPos, as the worker makes it.
  CURLcode Attempt(SliceWorker* slice, const std::string& path = "/file") {
    return tool_.httpDownloadContent(Url(path), slice->task.DownloadedPos, slice->task.EndPos,
                                     &slice->worker);
  }

  std::unique_ptr<SharedTarget> target_;
  CLibcurlTool tool_;
};

TEST_F(RangeDownloadTest, AsksForTheSliceWithTheBrowserUserAgentAndWritesIt) {
  Serve(Plain());
  SliceWorker slice(target_.get(), 1000, 1999, kLength);
  slice.task.TaskId = 3;
  slice.task.LogFlag = 1;
  ASSERT_EQ(Attempt(&slice), CURLE_OK);

  const auto requests = server_->Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].Header("Range"), "bytes=1000-1999");
  EXPECT_NE(requests[0].raw.find(
                "\r\nUser-Agent:Mozilla/5.0 (Windows NT 6.1; Win64; x64) AppleWebKit/537.36 "
                "(KHTML, like Gecko) Chrome/62.0.3202.75 Safari/537.36\r\n"),
            std::string::npos)
      << requests[0].raw;
  EXPECT_TRUE(log_.Contains(" Request Range: (3, 999) 1000-1999"));
  EXPECT_TRUE(slice.task.IsComplete());
  EXPECT_EQ(target_->Contents().substr(1000), FileBytes(1000, 1000));

  // Without the log flag the request leaves no line of its own.
  log_.Clear();
  SliceWorker quiet(target_.get(), 2000, 2999, kLength);
  ASSERT_EQ(Attempt(&quiet), CURLE_OK);
  EXPECT_TRUE(log_.Lines().empty()) << testing::PrintToString(log_.Lines());
}

TEST_F(RangeDownloadTest, TheLastSliceEndsAtTheLengthAndTheFileHasExactlyThatLength) {
  Serve(Plain());
  SliceWorker slice(target_.get(), 3000, kLength, kLength);
  ASSERT_EQ(Attempt(&slice), CURLE_OK);
  EXPECT_EQ(server_->Requests()[0].Header("Range"), "bytes=3000-4000");
  EXPECT_TRUE(slice.task.IsComplete());
  EXPECT_EQ(target_->Contents().size(), static_cast<size_t>(kLength));
}

TEST_F(RangeDownloadTest, ExtraBytesFillTheSliceThenEndTheTransfer) {
  RangeServing serving = Plain();
  serving.extraBytes = 300;
  Serve(serving);
  SliceWorker slice(target_.get(), 0, 999, kLength);
  EXPECT_EQ(Attempt(&slice), CURLE_WRITE_ERROR);
  EXPECT_TRUE(slice.task.IsComplete());
  EXPECT_EQ(target_->Contents(), FileBytes(0, 1000));
  EXPECT_TRUE(log_.Contains(" 接收数据错误"));
}

TEST_F(RangeDownloadTest, AnotherTotalLengthAbortsBeforeAnyByteIsWritten) {
  RangeServing serving = Plain();
  serving.announcedTotal = kLength - 1;
  Serve(serving);
  SliceWorker slice(target_.get(), 0, 999, kLength);
  EXPECT_EQ(Attempt(&slice), CURLE_WRITE_ERROR);
  EXPECT_EQ(slice.task.DownloadedPos.load(), 0);
  EXPECT_EQ(target_->Contents(), "");
  EXPECT_TRUE(log_.Contains(" HeaderCallback error1: 4000 != Content-Range: bytes 0-999/3999\r\n"));
}

// A connection lost mid-body keeps what arrived; the next attempt asks for
// the rest only. Cut one byte short, the slice must not pass for complete.
TEST_F(RangeDownloadTest, ADroppedTransferResumesFromWhatArrived) {
  struct Cut {
    int64_t bodyBytes;
    const char* resumeRange;
  };
  for (const Cut cut : {Cut{500, "bytes=500-999"}, Cut{999, "bytes=998-999"}}) {
    SCOPED_TRACE(cut.bodyBytes);
    RangeServing serving = Plain();
    serving.truncateAt = cut.bodyBytes;
    Serve(serving);
    SharedTarget target(env_.Root() + "/cut" + std::to_string(cut.bodyBytes));
    SliceWorker slice(&target, 0, 999, kLength);
    EXPECT_EQ(Attempt(&slice), CURLE_PARTIAL_FILE);
    EXPECT_FALSE(slice.task.IsComplete());

    Serve(Plain());
    server_->ClearRequests();
    ASSERT_EQ(Attempt(&slice), CURLE_OK);
    EXPECT_EQ(server_->Requests()[0].Header("Range"), cut.resumeRange);
    EXPECT_TRUE(slice.task.IsComplete());
    EXPECT_EQ(target.Contents(), FileBytes(0, 1000));
  }
}

TEST_F(RangeDownloadTest, AnErrorPageOrAWholeFileIsNotWrittenIntoTheSlice) {
  server_->QueueReplies({localserver::Reply::Status(404, "<html>not found</html>")});
  SliceWorker slice(target_.get(), 1000, 1999, kLength);
  EXPECT_EQ(Attempt(&slice), CURLE_WRITE_ERROR);

  RangeServing wholeFile = Plain();
  wholeFile.ignoreRange = true;
  Serve(wholeFile);
  EXPECT_EQ(Attempt(&slice), CURLE_WRITE_ERROR);
  EXPECT_EQ(slice.task.DownloadedPos.load(), 1000);
  EXPECT_EQ(target_->Contents(), "");
}

TEST_F(RangeDownloadTest, FollowsFiveRedirectsButNotSix) {
  server_->SetHandler([](const localserver::Request& request) {
    const std::string path = request.Path();
    if (path.rfind("/hop/", 0) == 0) {
      const int left = std::stoi(path.substr(5));
      localserver::Reply reply = localserver::Reply::Status(302, "moved");
      reply.headers.push_back(
          {"Location", left > 1 ? "/hop/" + std::to_string(left - 1) : std::string("/file")});
      return reply;
    }
    return ServeRanges(RangeServing{kLength})(request);
  });
  SliceWorker slice(target_.get(), 0, 999, kLength);
  ASSERT_EQ(Attempt(&slice, "/hop/5"), CURLE_OK);
  EXPECT_TRUE(slice.task.IsComplete());
  EXPECT_EQ(target_->Contents(), FileBytes(0, 1000));

  SliceWorker next(target_.get(), 1000, 1999, kLength);
  EXPECT_EQ(Attempt(&next, "/hop/6"), CURLE_TOO_MANY_REDIRECTS);
  EXPECT_TRUE(log_.Contains(" Curl Else Error: 47"));
  EXPECT_EQ(next.task.DownloadedPos.load(), 1000);
}

TEST_F(RangeDownloadTest, CollectsTheCloudflareStatusOfTheReply) {
  RangeServing serving = Plain();
  serving.headers = {{"CF-RAY", "7d1f2a3b4c5d6e7f-FRA"}, {"CF-Cache-Status", "HIT"}};
  Serve(serving);
  SliceWorker slice(target_.get(), 0, 999, kLength);
  ASSERT_EQ(Attempt(&slice), CURLE_OK);
  EXPECT_EQ(slice.task.CdnStatus, "FRA/HIT");
}

TEST_F(RangeDownloadTest, ARangeBeyondFourGiBIsAskedAndWrittenAt64BitOffsets) {
  const int64_t length = int64_t{6} << 30;
  const int64_t start = int64_t{5} << 30;
  Serve(RangeServing{length});
  SliceWorker slice(target_.get(), start, start + 65535, length);
  ASSERT_EQ(Attempt(&slice), CURLE_OK);
  EXPECT_EQ(server_->Requests()[0].Header("Range"), "bytes=5368709120-5368774655");
  EXPECT_TRUE(slice.task.IsComplete());
  std::string back(65536, '\0');
  ASSERT_EQ(target_->file().ReadAt(start, back.data(), back.size()), back.size());
  EXPECT_EQ(back, FileBytes(start, 65536));
}

// Workers on their own threads and tools fill one file together.
TEST_F(RangeDownloadTest, ParallelWorkersAssembleTheWholeFile) {
  const int64_t length = (int64_t{2} << 20) + 12345;
  const int64_t sliceSize = 128 << 10;
  Serve(RangeServing{length});
  std::vector<std::unique_ptr<SliceWorker>> slices;
  for (int64_t start = 0; start + sliceSize <= length; start += sliceSize) {
    const bool last = start + 2 * sliceSize > length;
    slices.push_back(std::make_unique<SliceWorker>(target_.get(), start,
                                                   last ? length : start + sliceSize - 1, length));
  }
  std::atomic<size_t> nextSlice{0};
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      CLibcurlTool tool;
      for (size_t i = nextSlice++; i < slices.size(); i = nextSlice++) {
        SliceWorker& slice = *slices[i];
        if (tool.httpDownloadContent(Url("/file"), slice.task.DownloadedPos, slice.task.EndPos,
                                     &slice.worker) != CURLE_OK ||
            !slice.task.IsComplete()) {
          ++failures;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_TRUE(target_->Contents() == FileBytes(0, length));
}

}  // namespace
}  // namespace http_test
