// The reply of the update server: which part of the body is kept, how each
// element lands in the record, what is published, and what a broken or hostile
// reply leaves behind. The fetch is replaced here; FetchTest goes over HTTP.
#include <functional>
#include <string>

#include "ConfigureFixture.h"
#include "SingleUserLog.h"

namespace configure_test {
namespace {

constexpr wchar_t kShippedExtraUrl[] =
    L"https://download.lumaclear.com/release/lumaclear_setup.exe";
constexpr wchar_t kShippedDownloadUrl[] = L"https://dl.vornik.com/lumaclear/lumaclear_setup.exe";

std::string Reply(const std::string& children) {
  return "<Downloader>" + children + "</Downloader>";
}

using ReplyTest = ConfigureTest;

// A reply overrides the embedded configuration field by field.
TEST_F(ReplyTest, OnlyTheElementIsKeptAndMissingFieldsKeepEmbeddedValues) {
  auto record =
      MakeRecordAnswering(0, "<?xml version=\"1.0\"?><Response code=\"0\">" +
                                 Reply("<Md5>abc</Md5>") + "<Unclosed></Downloader> trailing");
  ASSERT_EQ(record->getDownloadInfoXml(false, false), 1);
  ASSERT_TRUE(record->parseDownloadInfoXml());

  EXPECT_EQ(record->state, CConfigure::kStateLoaded);
  EXPECT_EQ(record->source, CConfigure::kSourceServer);
  EXPECT_EQ(record->Md5, L"abc");
  EXPECT_EQ(record->Software_name, L"Vornik Lumaclear");
  EXPECT_EQ(record->Software_version, L"1.0.0.0");
  EXPECT_EQ(record->Process_name, L"LumaclearApp.exe");
  EXPECT_EQ(record->Downloader_id, 127);
  EXPECT_EQ(record->Downloader_type, 1);
  EXPECT_EQ(record->InstallTimeout, 600);
  EXPECT_EQ(record->Download_url, kShippedDownloadUrl);
  // The embedded Download_url is a service address ("//dl."), so only the
  // extra address is a candidate.
  EXPECT_EQ(record->Download_url_list, std::vector<std::wstring>({kShippedExtraUrl}));
}

TEST_F(ReplyTest, ElementConversions) {
  const std::string longName(300, 'n');
  struct Case {
    std::string children;
    std::function<void(const CConfigure&)> check;
  } cases[] = {
      {"<Download_url>https://a.example/x\r\n.exe\n</Download_url>",
       [](const CConfigure& c) { EXPECT_EQ(c.Download_url, L"https://a.example/x.exe"); }},
      {"<Process_name>\nApp.exe\r</Process_name>",
       [](const CConfigure& c) { EXPECT_EQ(c.Process_name, L"App.exe"); }},
      {"<Extra_download_url>https://b.example/\ny</Extra_download_url>",
       [](const CConfigure& c) { EXPECT_EQ(c.Extra_download_url, L"https://b.example/y"); }},
      // Only the three address-like fields lose their line breaks.
      {"<Md5>line\nbreak</Md5>", [](const CConfigure& c) { EXPECT_EQ(c.Md5, L"line\nbreak"); }},
      {"<Slice_num>4</Slice_num>", [](const CConfigure& c) { EXPECT_EQ(c.Slice_num, 4); }},
      {"<Slice_num>abc</Slice_num>", [](const CConfigure& c) { EXPECT_EQ(c.Slice_num, 0); }},
      {"<Slice_num>99999999999</Slice_num>",
       [](const CConfigure& c) { EXPECT_EQ(c.Slice_num, 0); }},
      {"<Downloader_id>128</Downloader_id>",
       [](const CConfigure& c) { EXPECT_EQ(c.Downloader_id, 128); }},
      {"<Downloader_id/>", [](const CConfigure& c) { EXPECT_EQ(c.Downloader_id, 127); }},
      {"<Downloader_id>x12</Downloader_id>",
       [](const CConfigure& c) { EXPECT_EQ(c.Downloader_id, 127); }},
      {"<Filesize>5000000000</Filesize>",
       [](const CConfigure& c) { EXPECT_EQ(c.Filesize, 5000000000LL); }},
      {"<Filesize>big</Filesize>", [](const CConfigure& c) { EXPECT_EQ(c.Filesize, 0); }},
      // The reply does not carry these.
      {"<Language_id>1041</Language_id><InstallTimeout>5</InstallTimeout>",
       [](const CConfigure& c) {
         EXPECT_EQ(c.Language_id, 1033);
         EXPECT_EQ(c.InstallTimeout, 600);
       }},
      {"<Software_version/>", [](const CConfigure& c) { EXPECT_EQ(c.Software_version, L""); }},
      {"<Software_name>" + longName + "</Software_name>",
       [](const CConfigure& c) { EXPECT_EQ(c.Software_name, std::wstring(259, L'n')); }},
      {"<Software_name>Vornik \xE6\x97\xA5\xE6\x9C\xAC</Software_name>",
       [](const CConfigure& c) { EXPECT_EQ(c.Software_name, L"Vornik \u65E5\u672C"); }},
      {"<Md5>\xFF\xFE</Md5>", [](const CConfigure& c) { EXPECT_EQ(c.Md5, L"\uFFFD\uFFFD"); }},
      {"<Download_url>https://a.example/x?u=1&amp;v=2</Download_url>",
       [](const CConfigure& c) { EXPECT_EQ(c.Download_url, L"https://a.example/x?u=1&v=2"); }},
      {"<Md5><![CDATA[abc]]></Md5>", [](const CConfigure& c) { EXPECT_EQ(c.Md5, L"abc"); }},
      {"<Md5>first</Md5><Md5>second</Md5>",
       [](const CConfigure& c) { EXPECT_EQ(c.Md5, L"second"); }},
      {"<!-- <Md5>c</Md5> -->loose text<Unknown>1</Unknown><Md5>abc</Md5>",
       [](const CConfigure& c) { EXPECT_EQ(c.Md5, L"abc"); }},
      {"<Group><Md5>nested</Md5></Group>", [](const CConfigure& c) { EXPECT_EQ(c.Md5, L""); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.children);
    auto record = MakeRecordAnswering(0, Reply(c.children));
    ASSERT_EQ(record->getDownloadInfoXml(true, false), 1);
    ASSERT_TRUE(record->parseDownloadInfoXml());
    c.check(*record);
  }
}

TEST_F(ReplyTest, CutRules) {
  struct Case {
    const char* name;
    std::string body;
    int result;
    int stored;   // getDownloadInfoXml's answer
    bool parsed;  // parseDownloadInfoXml's answer
    const wchar_t* md5;
  } cases[] = {
      {"empty body", "", 0, 0, false, L""},
      {"no element", "<html>busy</html>", 0, 0, false, L""},
      {"open tag without closing tag", "<Downloader><Md5>abc</Md5>", 0, 0, false, L""},
      {"closing tag only before the open tag", "</Downloader><Downloader><Md5>abc</Md5>", 0, 0,
       false, L""},
      {"empty element", "<Downloader></Downloader>", 0, 1, true, L""},
      {"first closing tag ends it", Reply("<Md5>abc</Md5>") + Reply("<Md5>zzz</Md5>"), 0, 1, true,
       L"abc"},
      {"cut inside a child", "<Downloader><Md5>abc</Downloader></Md5>", 0, 1, false, L""},
      {"failed transfer that still brought a whole element", Reply("<Md5>abc</Md5>") + "<x", 28, 1,
       true, L"abc"},
      {"failed transfer, no element", "<Downl", 18, 0, false, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto record = MakeRecordAnswering(c.result, c.body);
    EXPECT_EQ(record->getDownloadInfoXml(true, false), c.stored);
    EXPECT_EQ(record->parseDownloadInfoXml(), c.parsed);
    EXPECT_EQ(record->state, c.parsed ? CConfigure::kStateLoaded : CConfigure::kStateNotLoaded);
    EXPECT_EQ(record->Md5, c.md5);
  }
}

// Whatever arrives, the outcome is "not well-formed": state 1, fields and
// published values untouched, and the flow falls back to the embedded load.
TEST_F(ReplyTest, HostileRepliesAreNotWellFormed) {
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<a>";
  for (int i = 0; i < 100000; ++i) deep += "</a>";
  struct Case {
    const char* name;
    std::string body;
  } cases[] = {
      {"deep nesting", Reply(deep)},
      {"mismatched tags", Reply("<Md5>abc</Slice_num><Slice_num>4</Md5>")},
      {"zero byte inside", Reply(std::string("<Slice_num>4</Slice_num><Md5>a") + '\0' + "b</Md5>")},
      {"duplicate attribute", Reply("<Slice_num a='1' a='2'>4</Slice_num>")},
      {"unterminated comment", Reply("<Slice_num>4</Slice_num><!-- ")},
      {"second root after the cut",
       "<Downloader><Slice_num>4</Slice_num><Downloader></Downloader>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CSingleUserLog::GetInstance()->ResetForTesting();
    auto record = MakeRecordAnswering(0, c.body);
    record->loadFromProductConfig(ProductTree(), true);
    ASSERT_EQ(record->getDownloadInfoXml(true, false), 1);
    EXPECT_FALSE(record->parseDownloadInfoXml());
    EXPECT_EQ(record->state, CConfigure::kStateNotLoaded);
    EXPECT_EQ(record->Slice_num, 0);
    EXPECT_EQ(record->Md5, L"");
    EXPECT_EQ(CSingleUserLog::GetInstance()->GetSliceNum(), 0);
  }
}

TEST_F(ReplyTest, LargeReplyIsParsedWhole) {
  const std::string name(8u << 20, 'n');
  auto record = MakeRecordAnswering(0, Reply("<Install_url>" + name + "</Install_url><Md5>" +
                                             "0123456789abcdef0123456789abcdef</Md5>"));
  ASSERT_EQ(record->getDownloadInfoXml(true, false), 1);
  ASSERT_TRUE(record->parseDownloadInfoXml());
  EXPECT_EQ(record->Install_url.size(), name.size());
  EXPECT_EQ(record->Md5, L"0123456789abcdef0123456789abcdef");
}

TEST_F(ReplyTest, PublishedValuesFollowTheParse) {
  CSingleUserLog* logger = CSingleUserLog::GetInstance();
  auto record = MakeRecordAnswering(
      0, Reply("<Downloader_config>2</Downloader_config><Slice_num>4</Slice_num>"
               "<Slice_size>3145728</Slice_size><Additional_time>30</Additional_time>"));
  ASSERT_EQ(record->getDownloadInfoXml(false, false), 1);
  // Nothing is published before the parse.
  EXPECT_EQ(logger->GetSliceNum(), 0);
  ASSERT_TRUE(record->parseDownloadInfoXml());
  EXPECT_EQ(logger->GetDownloaderConfig(), 2);
  EXPECT_EQ(logger->GetSliceNum(), 4);
  EXPECT_EQ(logger->GetSliceSize(), 3145728);
  EXPECT_EQ(logger->GetAdditionalTime(), 30);

  // The embedded load zeroes the record's copies but publishes nothing.
  record->loadFromProductConfig(ProductTree(), true);
  EXPECT_EQ(record->Slice_num, 0);
  EXPECT_EQ(record->Downloader_config, 0);
  EXPECT_EQ(logger->GetSliceNum(), 4);
  EXPECT_EQ(logger->GetDownloaderConfig(), 2);
}

TEST_F(ReplyTest, StoredReplyIsNeverReplacedAndParsesAgain) {
  auto record = MakeRecordAnswering(
      0, Reply("<Download_url>https://a.example/a.exe</Download_url>"
               "<Extra_download_url>https://b.example/b.exe</Extra_download_url>"));
  ASSERT_EQ(record->getDownloadInfoXml(false, false), 1);
  EXPECT_EQ(record->getDownloadInfoXml(false, true), 0);
  EXPECT_EQ(record->getDownloadInfoXml(true, false), 0);
  EXPECT_EQ(FetchedUrls().size(), 1u);

  const std::vector<std::wstring> expected = {L"https://a.example/a.exe",
                                              L"https://b.example/b.exe"};
  ASSERT_TRUE(record->parseDownloadInfoXml());
  EXPECT_EQ(record->Download_url_list, expected);
  // The flow found no usable address: the next attempt parses the same reply
  // again, and the list does not grow.
  record->markNotLoaded();
  EXPECT_EQ(record->state, CConfigure::kStateNotLoaded);
  ASSERT_TRUE(record->parseDownloadInfoXml());
  EXPECT_EQ(record->state, CConfigure::kStateLoaded);
  EXPECT_EQ(record->Download_url_list, expected);
}

TEST_F(ReplyTest, ParseWithoutReplyIsNotLoaded) {
  auto record = MakeRecord();
  record->loadFromProductConfig(ProductTree(), true);
  ASSERT_EQ(record->state, CConfigure::kStateLoaded);
  EXPECT_FALSE(record->parseDownloadInfoXml());
  EXPECT_EQ(record->state, CConfigure::kStateNotLoaded);
  EXPECT_EQ(record->source, CConfigure::kSourceEmbedded);
}

}  // namespace
}  // namespace configure_test
