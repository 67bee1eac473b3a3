// The header callback of the range download, fed line by line as libcurl
// would: the Cloudflare status it collects and the Content-Range totals it
// refuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HttpTestSupport.h"

namespace http_test {
namespace {

class HeaderCallbackTest : public ::testing::Test {
 protected:
  void SetUp() override { target_ = std::make_unique<SharedTarget>(env_.Root() + "/file.bin"); }

  testing_support::TestEnvironment env_;
  std::unique_ptr<SharedTarget> target_;
  LogRecorder log_;
};

struct CdnCase {
  const char* name;
  int64_t contentLength;
  std::string probeStatus;
  std::vector<std::string> lines;
  std::string expected;
};

void PrintTo(const CdnCase& c, std::ostream* out) { *out << c.name; }

class CdnStatusTest : public HeaderCallbackTest, public ::testing::WithParamInterface<CdnCase> {};

TEST_P(CdnStatusTest, CollectsCloudflareValuesAndAcceptsTheLines) {
  const CdnCase& c = GetParam();
  SliceWorker slice(target_.get(), 0, 99, c.contentLength);
  slice.task.CdnProbeStatus = c.probeStatus;
  for (const std::string& line : c.lines) EXPECT_EQ(FeedHeader(&slice.worker, line), line.size());
  EXPECT_EQ(slice.task.CdnStatus, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CdnStatusTest,
    ::testing::Values(
        CdnCase{"RayThenCache",
                1000,
                "",
                {"HTTP/1.1 206 Partial Content\r\n", "CF-RAY: 7d1f2a3b4c5d6e7f-FRA\r\n",
                 "CF-Cache-Status: HIT\r\n"},
                "FRA/HIT"},
        CdnCase{"CacheThenRay",
                1000,
                "",
                {"CF-Cache-Status: MISS\r\n", "CF-RAY: 7d1f-AMS\r\n"},
                "AMS/MISS"},
        // A combination equal to what the length query saw is cleared.
        CdnCase{"SameAsProbe",
                1000,
                "FRA/HIT",
                {"CF-RAY: 7d1f2a3b4c5d6e7f-FRA\r\n", "CF-Cache-Status: HIT\r\n"},
                ""},
        // A first value is taken as it is, even when it equals the probe's.
        CdnCase{"FirstValueKept", 1000, "FRA", {"CF-RAY: 7d1f2a3b4c5d6e7f-FRA\r\n"}, "FRA"},
        // Every response of a redirect chain adds its values.
        CdnCase{"RedirectChain",
                1000,
                "",
                {"CF-RAY: 1111-FRA\r\n", "CF-Cache-Status: HIT\r\n", "CF-RAY: 2222-AMS\r\n"},
                "AMS/FRA/HIT"},
        // HTTP/2 hands header names over in lower case.
        CdnCase{"LowerCaseNames",
                1000,
                "",
                {"cf-ray: 7d1f-SIN\r\n", "cf-cache-status: DYNAMIC\r\n"},
                "SIN/DYNAMIC"},
        // A header that only mentions the names in its value is no such header.
        CdnCase{"NamesInAValue",
                1000,
                "",
                {"Access-Control-Expose-Headers: CF-RAY: 1-FRA, Content-Range\r\n"},
                ""},
        // A slice of unknown length takes every line without looking.
        CdnCase{"UnknownLength",
                0,
                "",
                {"CF-RAY: 7d1f2a3b4c5d6e7f-FRA\r\n", "CF-Cache-Status: HIT\r\n"},
                ""}),
    [](const ::testing::TestParamInfo<CdnCase>& info) { return std::string(info.param.name); });

struct TotalCase {
  const char* name;
  int64_t contentLength;
  std::string line;
  bool accepted;
  std::string logLine;  // expected log line when refused
};

void PrintTo(const TotalCase& c, std::ostream* out) { *out << c.name; }

class ContentRangeTest : public HeaderCallbackTest,
                         public ::testing::WithParamInterface<TotalCase> {};

TEST_P(ContentRangeTest, AnotherTotalEndsTheTransfer) {
  const TotalCase& c = GetParam();
  SliceWorker slice(target_.get(), 0, 99, c.contentLength);
  EXPECT_EQ(FeedHeader(&slice.worker, c.line), c.accepted ? c.line.size() : 0u);
  if (!c.accepted) {
    EXPECT_TRUE(log_.Contains(c.logLine)) << testing::PrintToString(log_.Lines());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Totals, ContentRangeTest,
    ::testing::Values(
        TotalCase{"SameTotal", 1000, "Content-Range: bytes 0-99/1000\r\n", true, ""},
        TotalCase{"OtherTotal", 1000, "Content-Range: bytes 0-99/999\r\n", false,
                  " HeaderCallback error1: 1000 != Content-Range: bytes 0-99/999\r\n"},
        TotalCase{"LowerCaseName", 1000, "content-range: bytes 0-99/999\r\n", false,
                  " HeaderCallback error1: 1000 != content-range: bytes 0-99/999\r\n"},
        TotalCase{"UnknownTotal", 1000, "Content-Range: bytes 0-99/*\r\n", false,
                  " HeaderCallback error1: 1000 != Content-Range: bytes 0-99/*\r\n"},
        TotalCase{"NoTotal", 1000, "Content-Range: bytes 0-99\r\n", false,
                  " HeaderCallback error2: Content-Range: bytes 0-99\r\n"},
        TotalCase{"BeyondFourGiB", int64_t{6} << 30,
                  "Content-Range: bytes 5368709120-5368713215/6442450944\r\n", true, ""},
        TotalCase{"UnknownLengthTakesAnything", 0, "Content-Range: bytes 0-99/999\r\n", true, ""}),
    [](const ::testing::TestParamInfo<TotalCase>& info) { return std::string(info.param.name); });

TEST_F(HeaderCallbackTest, ANullLineIsAccepted) {
  SliceWorker slice(target_.get(), 0, 99, 1000);
  EXPECT_EQ(CLibcurlTool::HeaderCallback(nullptr, 1, 7, &slice.worker), 7u);
}

}  // namespace
}  // namespace http_test
