// Which address the flow downloads from, the host classes of its reports and
// the CDN refusal counter.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Common/DownloadSource.h"
#include "DownloadServer.h"
#include "FlowTestSupport.h"
#include "ProductConfig.h"
#include "platform/Registry.h"
#include "support/TestEnvironment.h"
#include "uitoolkit/Container.h"
#include "uitoolkit/Label.h"

namespace {

using download_source::ClassOfHost;
using download_source::HostOf;

TEST(DownloadSourceTest, HostsAndTheirClasses) {
  struct Case {
    const wchar_t* address;
    const wchar_t* host;
    int hostClass;
  } cases[] = {
      {L"https://www.Vornik.com/files/setup.exe", L"www.vornik.com", 11},
      {L"https://dl.vornik.com/setup.exe", L"dl.vornik.com", 10},
      {L"https://CDN.vornik.com/setup.exe", L"cdn.vornik.com", 10},
      // "ali" anywhere in the host, also inside another word.
      {L"https://downloads.australia-mirror.net/setup.exe", L"downloads.australia-mirror.net", 12},
      {L"https://dl-lumaclear.cdn-mainland.cn/a/setup.exe", L"dl-lumaclear.cdn-mainland.cn", 12},
      {L"https://vornik.mainland-edge.cn/setup.exe", L"vornik.mainland-edge.cn", 13},
      // The first "." lies in the file name of a bare host name.
      {L"http://intranet/setup.exe", L"", 10},
      {L"", L"", 10},
      {L"no dots here", L"", 10},
      {L"https://host.example", L"", 10},    // no "/" after the first "."
      {L"host.example/setup.exe", L"", 10},  // no "/" before it
      {L"https://a.b/x", L"a.b", 11},
      {L"https://x./y", L"x.", 11},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "\"" << c.address << "\"");
    EXPECT_EQ(HostOf(c.address), c.host);
    EXPECT_EQ(ClassOfHost(c.address), c.hostClass);
  }
}

class RefusalCounterTest : public ::testing::Test {
 protected:
  testing_support::TestEnvironment env_;
  const std::wstring product_ = L"Vornik Lumaclear";
  const std::wstring key_ =
      L"SoftWare\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vornik Lumaclear";
};

TEST_F(RefusalCounterTest, CountsUpAndForbidsTheCdnFromFour) {
  EXPECT_FALSE(download_source::ReadRefusalCount(product_).has_value());
  EXPECT_FALSE(download_source::TooManyRefusals(product_));
  const std::vector<std::wstring> stored = {L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8", L"9"};
  for (size_t i = 0; i < stored.size(); ++i) {
    ASSERT_TRUE(download_source::AddRefusal(product_));
    std::wstring text;
    ASSERT_TRUE(platform::RegQueryString(platform::HKEY_LOCAL_MACHINE, key_, L"RequestTooMuchTimes",
                                         &text));
    EXPECT_EQ(text, stored[i]);
    EXPECT_EQ(download_source::TooManyRefusals(product_), i + 1 > 3) << text;
  }
  // A tenth refusal would leave the digits and read back as 0.
  ASSERT_TRUE(download_source::AddRefusal(product_));
  EXPECT_EQ(download_source::ReadRefusalCount(product_), 9);
  EXPECT_TRUE(download_source::TooManyRefusals(product_));
}

TEST_F(RefusalCounterTest, AValueThatIsNoNumberStartsAgainAtOne) {
  ASSERT_TRUE(
      platform::RegSetString(platform::HKEY_LOCAL_MACHINE, key_, L"RequestTooMuchTimes", L"x"));
  EXPECT_FALSE(download_source::TooManyRefusals(product_));
  ASSERT_TRUE(download_source::AddRefusal(product_));
  EXPECT_EQ(download_source::ReadRefusalCount(product_), 1);
}

TEST(ChooseAddressTest, FirstDirectAddressOrNone) {
  testing_support::TestEnvironment env;
  flow_test::LogRecorder log;
  struct Case {
    std::vector<std::wstring> list;
    std::wstring chosen;
  } cases[] = {
      {{L"https://www.vornik.com/a.exe", L"https://www.vornik.com/b.exe"},
       L"https://www.vornik.com/a.exe"},
      {{L"https://cdn.vornik.com/a.exe", L"https://www.vornik.com/b.exe"},
       L"https://www.vornik.com/b.exe"},
      {{L"https://cdn.vornik.com/a.exe"}, L""},
      {{}, L""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(download_source::ChooseAddress(c.list, L"Vornik Lumaclear"), c.chosen);
  }
  EXPECT_TRUE(log.Contains(" UrlUsed: https://www.vornik.com/a.exe"));
  EXPECT_EQ(log.Count(" checkRemotePath fail: -1"), 2u);
  EXPECT_EQ(log.Count(" isForbidCDN: 0"), 4u);
}

// The product configuration's labels, as the window's package holds them.
class LabelTree {
 public:
  void Add(const std::wstring& name, const std::wstring& text) {
    auto label = std::make_unique<ui::Label>();
    label->SetName(name);
    label->SetText(text);
    root_.Add(std::move(label));
  }
  ProductConfig Config() { return ProductConfig(&root_); }

 private:
  ui::Container root_;
};

class Windows78LinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.AddFile("/files/lumaclear_setup.exe", localserver::Content::Text("installer"));
    ASSERT_TRUE(server_.Start());
  }
  std::wstring Missing() const {
    return flow_test::Wide(server_.Url("/files/lumaclear_setup_vkwin.exe"));
  }

  testing_support::TestEnvironment env_;
  flow_test::LogRecorder log_;
  localserver::DownloadServer server_;
};

TEST_F(Windows78LinkTest, AMissingWindows78BuildFallsBackToADirectConfiguredAddress) {
  LabelTree labels;
  labels.Add(L"Download_url", L"https://dl.vornik.com/lumaclear_setup.exe");
  labels.Add(L"Extra_download_url", L"https://www.vornik.com/lumaclear_setup.exe");
  const std::wstring chosen = download_source::CheckWindows78Link(Missing(), 6.3f, labels.Config());
  EXPECT_EQ(chosen, L"https://www.vornik.com/lumaclear_setup.exe");
  EXPECT_TRUE(log_.Contains(" Curl check win78 link, http code is 404, curl code is 0"));
  EXPECT_TRUE(log_.Contains(" UrlUsed change to: https://www.vornik.com/lumaclear_setup.exe"));
}

TEST_F(Windows78LinkTest, KeepsTheAddressOnWindows10AnExistingFileOrNoDirectFallback) {
  LabelTree labels;
  labels.Add(L"Download_url", L"https://www.vornik.com/direct_setup.exe");
  // Windows 10: no probe at all.
  EXPECT_EQ(download_source::CheckWindows78Link(Missing(), 10.0f, labels.Config()), Missing());
  EXPECT_TRUE(server_.Exchanges().empty());
  // The build exists: kept.
  const std::wstring present =
      flow_test::Wide(server_.Url("/files/lumaclear_setup.exe")) + L"?name=x_vkwin.exe";
  EXPECT_EQ(download_source::CheckWindows78Link(present, 6.3f, labels.Config()), present);
  // Missing, but every configured address is a service or CDN address or absent.
  LabelTree serviceOnly;
  serviceOnly.Add(L"Download_url", L"https://dl.vornik.com/a.exe");
  EXPECT_EQ(download_source::CheckWindows78Link(Missing(), 6.1f, serviceOnly.Config()), Missing());
  // Any other address is not looked at.
  const std::wstring plain = flow_test::Wide(server_.Url("/files/other.exe"));
  EXPECT_EQ(download_source::CheckWindows78Link(plain, 6.1f, labels.Config()), plain);
}

}  // namespace
