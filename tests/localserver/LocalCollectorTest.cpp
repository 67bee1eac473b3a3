#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "LocalCollector.h"
#include "TestClients.h"
#include "support/TestEnvironment.h"

using localserver::LocalCollector;
using localserver::Request;
using localserver_test::CurlClient;
using localserver_test::CurlOptions;
using localserver_test::CurlResult;

namespace {

std::map<std::string, std::string> ReadServicesFile(const std::string& path) {
  std::map<std::string, std::string> values;
  std::istringstream lines(testing_support::ReadFile(path));
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] == '#') continue;
    const size_t equals = line.find('=');
    values[line.substr(0, equals)] = equals == std::string::npos ? "" : line.substr(equals + 1);
  }
  return values;
}

class LocalCollectorTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(collector_.Start()); }

  // The request as the report SDK makes it: its header lines, POST, redirects
  // followed, the test CA trusted.
  CurlResult Send(const std::string& method, const std::string& target, const std::string& body) {
    CurlOptions options;
    options.caFile = collector_.CaFile();
    options.followRedirects = true;
    options.headers = {"User-Agent:PostmanRuntime/7.29.2", "Accept:*/*",
                       "Accept-Encoding:gzip, deflate, br", "Connection:keep-alive",
                       "Content-Type:application/json; charset=utf-8"};
    const std::string url = collector_.Server().BaseUrl() + target;
    if (method == "POST") return client_.Post(url, body, options);
    if (method != "GET") options.method = method;
    return client_.Get(url, options);
  }

  testing_support::TestEnvironment environment_;
  LocalCollector collector_{environment_.Root() + "/services"};
  CurlClient client_;
};

}  // namespace

TEST_F(LocalCollectorTest, ServicesFilePointsTheAnalyticsAddressesHere) {
  EXPECT_EQ(collector_.ServicesFile(), environment_.Root() + "/services/services.conf");
  const std::string base = "https://127.0.0.1:" + std::to_string(collector_.Server().Port());
  const std::map<std::string, std::string> expected = {{"ga4", base},
                                                       {"collector", base},
                                                       {"test_collector", base},
                                                       {"ca_file", collector_.CaFile()}};
  EXPECT_EQ(ReadServicesFile(collector_.ServicesFile()), expected);
  EXPECT_TRUE(std::filesystem::path(collector_.CaFile()).is_absolute());
  EXPECT_TRUE(std::filesystem::exists(collector_.CaFile()));
}

TEST_F(LocalCollectorTest, AnswersLikeTheAnalyticsServices) {
  struct Case {
    const char* method;
    const char* target;
    const char* body;
    long status;
  };
  const Case cases[] = {
      {"POST", "/g/collect?v=2&cid=7A3F001122334455&tid=G-X&en=download&ep.mv_label=a%20b", "",
       204},
      {"GET", "/g/collect?v=2&cid=1", "", 204},
      {"POST", "/collect", "{\"common\":{},\"ts\":1700000000000}", 200},
      {"POST", "/collector", "{}", 200},
      {"GET", "/collect", "", 200},
      {"PUT", "/collect", "", 404},
      {"POST", "/g/collect/more", "", 404},
      {"POST", "/collect/", "{}", 404},
      {"GET", "/", "", 404},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.method) + " " + c.target);
    const CurlResult result = Send(c.method, c.target, c.body);
    ASSERT_EQ(result.code, CURLE_OK) << curl_easy_strerror(result.code);
    EXPECT_EQ(result.status, c.status);
    if (c.status == 200) {
      EXPECT_EQ(result.body, "{\"code\":0,\"msg\":\"ok\"}");
    }
  }
  const auto ga4 = collector_.RequestsTo("/g/collect");
  ASSERT_EQ(ga4.size(), 2u);
  EXPECT_EQ(ga4[0].target, cases[0].target);
  EXPECT_EQ(ga4[0].body, "");
  EXPECT_EQ(ga4[0].Header("Connection"), "keep-alive");
  EXPECT_EQ(ga4[0].Header("Content-Type"), "application/json; charset=utf-8");
  ASSERT_EQ(collector_.RequestsTo("/collect").size(), 3u);
  EXPECT_EQ(collector_.RequestsTo("/collect")[0].body, cases[2].body);
  EXPECT_EQ(collector_.RequestsTo("/collector").size(), 1u);
  // All of it went over the one kept-alive connection.
  const auto all = collector_.Server().Requests();
  EXPECT_EQ(all.front().connection, all.back().connection);
}

TEST_F(LocalCollectorTest, ScriptedFailuresComeBeforeTheServicesAnswers) {
  collector_.Server().QueueReplies(
      {localserver::Reply::Status(503), localserver::Reply::Dropped()});
  EXPECT_EQ(Send("POST", "/collect", "{}").status, 503);
  // libcurl takes a reply-less close of a reused connection for a stale
  // connection and sends the request once more on a new one, which the
  // services answer: one call, two requests.
  EXPECT_EQ(Send("POST", "/collect", "{}").status, 200);
  EXPECT_EQ(collector_.RequestsTo("/collect").size(), 3u);
}

TEST(LocalCollectorStart, FailsWhereItsFolderCannotBe) {
  testing_support::TestEnvironment environment;
  testing_support::WriteFile(environment.Root() + "/file", "x");
  LocalCollector collector(environment.Root() + "/file/services");
  EXPECT_FALSE(collector.Start());
  EXPECT_FALSE(std::filesystem::exists(environment.Root() + "/file/services/services.conf"));
}
