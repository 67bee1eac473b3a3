// The two fetch sequences: the main window's background fetch and the install
// flow's synchronous fetch, alone and racing each other.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ConfigureFixture.h"
#include "SingleUserLog.h"
#include "platform/Encoding.h"

namespace configure_test {
namespace {

constexpr char kAbandonLine[] = " GetDownloaderInfo(Async) abandon";

std::string Reply(const std::string& children) {
  return "<Downloader>" + children + "</Downloader>";
}

// A reply whose every field names it, so that a record mixing two replies
// shows.
std::string NamedReply(const std::string& name, int sliceNum, int paddingElements = 0) {
  std::string padding;
  for (int i = 0; i < paddingElements; ++i) padding += "<Padding>" + name + "</Padding>";
  return Reply("<Software_version>" + name + "</Software_version><Md5>" + name +
               "</Md5><Download_url>https://" + name +
               ".example/setup.exe</Download_url><Extra_download_url>https://" + name +
               ".example/extra.exe</Extra_download_url><Slice_num>" + std::to_string(sliceNum) +
               "</Slice_num>" + padding);
}

EnumLanguage Japanese() { return LangJapanese; }

// Holds server handlers until the test opens it (or a generous deadline
// passes, so that a failing test cannot hang).
class Gate {
 public:
  void Open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(10), [this] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
};

// Joins on scope exit, so that a failed assertion does not leave a running thread.
class JoiningThread {
 public:
  template <typename F>
  explicit JoiningThread(F body) : thread_(std::move(body)) {}
  ~JoiningThread() { Join(); }
  void Join() {
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::thread thread_;
};

class SequenceTest : public UpdateServerTest {
 protected:
  void TearDown() override {
    first_.Open();
    second_.Open();
    UpdateServerTest::TearDown();
  }

  // The international host holds its first request at first_ and answers it
  // with firstBody, then holds its second at second_ (when holdSecond) and
  // answers it and every later one with laterBody.
  void HoldInternational(const std::string& firstBody, const std::string& laterBody,
                         bool holdSecond) {
    international_->SetHandler(
        [this, firstBody, laterBody, holdSecond](const localserver::Request&) {
          const int serial = served_++;
          if (serial == 0) first_.Wait();
          if (serial == 1 && holdSecond) second_.Wait();
          return localserver::Reply::Status(200, serial == 0 ? firstBody : laterBody);
        });
  }

  std::vector<Json::Value> ConfigReadyRecords() const {
    std::vector<Json::Value> found;
    for (const Json::Value& actions : report_.FunnelActions()) {
      if (actions["event_action"].asString() == "DownloadConfigReady") found.push_back(actions);
    }
    return found;
  }

  Gate first_;
  Gate second_;
  std::atomic<int> served_{0};
};

TEST_F(SequenceTest, BackgroundFetchLoadsTheInternationalReply) {
  international_->SetHandler(Answering(NamedReply("alpha", 4)));
  auto record = MakeRecord();
  record->AsyncGetCbsInfo(Japanese);

  EXPECT_EQ(record->state, CConfigure::kStateLoaded);
  EXPECT_EQ(record->source, CConfigure::kSourceServer);
  EXPECT_EQ(record->Md5, L"alpha");
  EXPECT_EQ(mainland_->RequestCount(), 0u);
  EXPECT_EQ(CSingleUserLog::GetInstance()->GetSliceNum(), 4);
  using Info = std::pair<std::string, std::string>;
  EXPECT_EQ(report_.CommonInfos(),
            std::vector<Info>({{LanguageTelemetryCode(LangJapanese), "alpha"}}));
}

TEST_F(SequenceTest, BackgroundFetchTurnsToTheMainlandHost) {
  struct Case {
    const char* name;
    std::function<void(localserver::LocalHttpServer&)> breakServer;
  } cases[] = {
      {"connection refused", [](localserver::LocalHttpServer& s) { s.RefuseConnections(); }},
      {"reply without element",
       [](localserver::LocalHttpServer& s) {
         s.SetHandler(Answering("<html>maintenance</html>"));
       }},
      {"connection dropped",
       [](localserver::LocalHttpServer& s) {
         s.SetHandler([](const localserver::Request&) { return localserver::Reply::Dropped(); });
       }},
      {"element cut off mid-body",
       [](localserver::LocalHttpServer& s) {
         s.SetHandler([](const localserver::Request&) {
           localserver::Reply reply = localserver::Reply::Status(200, NamedReply("cut", 1));
           reply.truncateBodyAt = 20;
           return reply;
         });
       }},
  };
  mainland_->SetHandler(Answering(NamedReply("beta", 2)));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.breakServer(*international_);
    mainland_->ClearRequests();
    auto record = MakeRecord();
    record->AsyncGetCbsInfo(Japanese);
    EXPECT_EQ(mainland_->RequestCount(), 1u);
    EXPECT_EQ(record->state, CConfigure::kStateLoaded);
    EXPECT_EQ(record->Md5, L"beta");
    international_->AcceptAgain();
  }
}

// The background fetch never falls back to the embedded configuration; it
// still hands the (embedded) version to the report SDK.
TEST_F(SequenceTest, BackgroundFetchWithBothHostsFailing) {
  international_->RefuseConnections();
  mainland_->RefuseConnections();
  auto record = MakeRecord();
  record->AsyncGetCbsInfo(Japanese);
  EXPECT_EQ(record->state, CConfigure::kStateNotLoaded);
  EXPECT_EQ(record->source, CConfigure::kSourceNothing);
  EXPECT_EQ(report_.CommonInfos().size(), 1u);
  EXPECT_EQ(report_.CommonInfos()[0].second, "1.0.0.0");
}

TEST_F(SequenceTest, FlowAfterACompletedBackgroundFetchAsksNothing) {
  international_->SetHandler(Answering(NamedReply("alpha", 4)));
  auto record = MakeRecord();
  record->AsyncGetCbsInfo(Japanese);
  const size_t requests = international_->RequestCount() + mainland_->RequestCount();

  record->SyncGetCbsInfo(Japanese);
  EXPECT_EQ(international_->RequestCount() + mainland_->RequestCount(), requests);
  EXPECT_TRUE(record->isAsyncFetchAbandoned());
  const std::vector<std::string> expected = ExpectedContentLines(
      " Configure Load From XML! ", {"0",     "127",
                                     "0",     "61",
                                     "1033",  "Vornik Lumaclear",
                                     "alpha", "https://alpha.example/setup.exe",
                                     "alpha", "LumaclearApp.exe",
                                     "",      "",
                                     "",      "https://alpha.example/extra.exe",
                                     "",      "",
                                     "0",     "4",
                                     "0",     "0"});
  EXPECT_TRUE(log_.ContainsRun(expected)) << testing::PrintToString(log_.Lines());
  const std::vector<Json::Value> ready = ConfigReadyRecords();
  ASSERT_EQ(ready.size(), 1u);
  EXPECT_EQ(ready[0]["event_category"].asString(), "Download");
  EXPECT_EQ(ready[0]["default_config"].asString(), "0");
}

TEST_F(SequenceTest, FlowFallsBackToTheEmbeddedConfiguration) {
  struct Case {
    bool testEnv;
    size_t international, mainland, test;  // requests each host gets
  } cases[] = {{false, 1, 1, 0}, {true, 0, 0, 2}};
  for (auto* server : {&international_, &mainland_, &test_}) {
    (*server)->SetHandler(Answering("<Downloader>"));
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.testEnv ? "test environment" : "production hosts");
    if (c.testEnv) SetTestEnv();
    for (auto* server : {&international_, &mainland_, &test_}) (*server)->ClearRequests();
    const size_t readyBefore = ConfigReadyRecords().size();

    auto record = MakeRecord();
    record->SyncGetCbsInfo(Japanese);
    EXPECT_EQ(international_->RequestCount(), c.international);
    EXPECT_EQ(mainland_->RequestCount(), c.mainland);
    EXPECT_EQ(test_->RequestCount(), c.test);
    EXPECT_EQ(record->state, CConfigure::kStateLoaded);
    EXPECT_EQ(record->source, CConfigure::kSourceEmbedded);
    EXPECT_EQ(
        record->Download_url_list,
        std::vector<std::wstring>({L"https://download.lumaclear.com/release/lumaclear_setup.exe"}));
    EXPECT_TRUE(log_.Contains(" Configure Load From File! "));
    EXPECT_TRUE(log_.Contains(" [Software Version]: 1.0.0.0"));
    const std::vector<Json::Value> ready = ConfigReadyRecords();
    ASSERT_EQ(ready.size(), readyBefore + 1);
    EXPECT_EQ(ready.back()["default_config"].asString(), "1");
  }
}

// The flow starts while the background fetch waits for its first reply: the
// flow's own request wins, and the background thread, once answered, neither
// replaces the stored reply nor parses nor asks the mainland host.
TEST_F(SequenceTest, FlowTakesOverFromABackgroundFetchInFlight) {
  HoldInternational(NamedReply("late", 7), NamedReply("flow", 3), false);
  auto record = MakeRecord();
  JoiningThread background([&] { record->AsyncGetCbsInfo(Japanese); });
  ASSERT_TRUE(international_->WaitForRequests(1, 10000));

  record->SyncGetCbsInfo(Japanese);
  EXPECT_EQ(record->Md5, L"flow");
  first_.Open();
  background.Join();

  EXPECT_EQ(record->Md5, L"flow");
  EXPECT_EQ(record->Software_version, L"flow");
  EXPECT_EQ(CSingleUserLog::GetInstance()->GetSliceNum(), 3);
  EXPECT_EQ(mainland_->RequestCount(), 0u);
  EXPECT_EQ(log_.Count(kAbandonLine), 1u);
  EXPECT_EQ(report_.CommonInfos().size(), 1u);
  EXPECT_EQ(international_->RequestCount(), 2u);
}

// The background fetch stores its reply after the flow has started but before
// the flow's own request returns: the flow keeps and parses the background's
// reply, without asking the mainland host.
TEST_F(SequenceTest, FlowParsesAReplyTheBackgroundStoredLate) {
  HoldInternational(NamedReply("background", 5), NamedReply("flow", 3), true);
  auto record = MakeRecord();
  JoiningThread background([&] { record->AsyncGetCbsInfo(Japanese); });
  ASSERT_TRUE(international_->WaitForRequests(1, 10000));
  JoiningThread flow([&] { record->SyncGetCbsInfo(Japanese); });
  ASSERT_TRUE(international_->WaitForRequests(2, 10000));

  first_.Open();
  background.Join();
  EXPECT_EQ(log_.Count(kAbandonLine), 1u);
  second_.Open();
  flow.Join();

  EXPECT_EQ(record->state, CConfigure::kStateLoaded);
  EXPECT_EQ(record->Md5, L"background");
  EXPECT_EQ(CSingleUserLog::GetInstance()->GetSliceNum(), 5);
  EXPECT_EQ(mainland_->RequestCount(), 0u);
  ASSERT_EQ(report_.CommonInfos().size(), 1u);
  EXPECT_EQ(report_.CommonInfos()[0].second, "background");
}

// Both sequences racing, many times: in even rounds they start together (both
// fetch and store at once); in odd rounds the flow starts a little later each
// time after the background fetch has its reply, sweeping the moment the
// background thread checks the abandon flag and parses. Exactly one of them
// parses, the record always holds one whole reply, and (under
// ThreadSanitizer) no field is ever touched by both threads at once.
TEST_F(SequenceTest, RacingSequencesParseOnce) {
  constexpr int kRounds = 300;
  // Unknown elements that make the parse long enough for the sweep to land
  // inside it.
  constexpr int kPadding = 1000;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE(round);
    auto record = MakeRecord();
    std::atomic<int> calls{0};
    std::atomic<bool> fetched{false};
    record->setFetcherForTesting([&](const std::string&, std::string* body) {
      *body = calls++ % 2 == 0 ? NamedReply("odd", 1, kPadding) : NamedReply("even", 2, kPadding);
      fetched.store(true);
      return 0;
    });
    const size_t infosBefore = report_.CommonInfos().size();
    std::atomic<bool> go{false};
    JoiningThread background([&] {
      while (!go.load()) std::this_thread::yield();
      record->AsyncGetCbsInfo(Japanese);
    });
    go.store(true);
    if (round % 2 == 1) {
      while (!fetched.load()) std::this_thread::yield();
      for (int stagger = 0; stagger < round; ++stagger) std::this_thread::yield();
    }
    record->SyncGetCbsInfo(Japanese);
    background.Join();

    ASSERT_EQ(record->state, CConfigure::kStateLoaded);
    const std::wstring name = record->Md5;
    ASSERT_TRUE(name == L"odd" || name == L"even") << platform::ToUtf8(name);
    EXPECT_EQ(record->Software_version, name);
    EXPECT_EQ(record->Download_url_list,
              std::vector<std::wstring>({L"https://" + name + L".example/setup.exe",
                                         L"https://" + name + L".example/extra.exe"}));
    EXPECT_EQ(CSingleUserLog::GetInstance()->GetSliceNum(), name == L"odd" ? 1 : 2);
    ASSERT_EQ(report_.CommonInfos().size(), infosBefore + 1);
  }
}

}  // namespace
}  // namespace configure_test
