// Reading upload forms: what libcurl sends, and bodies that are no form.
#include <gtest/gtest.h>

#include "MultipartForm.h"

namespace demoservices_test {
namespace {

using demoservices::BoundaryOf;
using demoservices::FormPart;
using demoservices::ParseMultipartForm;

constexpr char kType[] = "multipart/form-data; boundary=------------------------abc123";
constexpr char kDelimiter[] = "--------------------------abc123";

std::string Part(const std::string& disposition, const std::string& body,
                 const std::string& extraHead = "") {
  return std::string(kDelimiter) + "\r\nContent-Disposition: " + disposition + "\r\n" + extraHead +
         "\r\n" + body + "\r\n";
}

std::string Close() { return std::string(kDelimiter) + "--\r\n"; }

TEST(MultipartFormTest, ReadsPartsAsLibcurlSendsThem) {
  const std::string archive("PK\x03\x04\0\r\n-- not a delimiter\r\n", 27);
  const std::string body = Part("form-data; name=\"file\"; filename=\"a \\\"b\\\".zip\"", archive,
                                "Content-Type: application/octet-stream\r\n") +
                           Part("form-data; name=\"product_id\"", "RIZovidizi2900") +
                           Part("form-data; name=\"catalogue\"", "") + Close();
  std::vector<FormPart> parts;
  ASSERT_TRUE(ParseMultipartForm(kType, body, &parts));
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_EQ(parts[0].name, "file");
  EXPECT_TRUE(parts[0].hasFileName);
  EXPECT_EQ(parts[0].fileName, "a \"b\".zip");
  EXPECT_EQ(parts[0].contentType, "application/octet-stream");
  EXPECT_EQ(parts[0].body, archive);
  EXPECT_EQ(parts[1].name, "product_id");
  EXPECT_FALSE(parts[1].hasFileName);
  EXPECT_EQ(parts[1].body, "RIZovidizi2900");
  EXPECT_EQ(parts[2].body, "");
}

TEST(MultipartFormTest, PreambleEpilogueAndHeaderCaseAreAccepted) {
  const std::string body =
      "preamble\r\n" + Part("FORM-DATA; NAME=version", "1.0.0.1") + Close() + "epilogue";
  std::vector<FormPart> parts;
  ASSERT_TRUE(ParseMultipartForm(
      "Multipart/Form-Data; charset=utf-8; Boundary=\"------------------------abc123\"", body,
      &parts));
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_EQ(parts[0].name, "version");
  EXPECT_EQ(parts[0].body, "1.0.0.1");
}

TEST(MultipartFormTest, BodiesThatAreNoFormAreRefused) {
  const std::string good = Part("form-data; name=\"a\"", "1");
  struct Case {
    const char* what;
    std::string contentType;
    std::string body;
  };
  const Case cases[] = {
      {"no boundary", "multipart/form-data", good + Close()},
      {"other type", "application/x-www-form-urlencoded; boundary=x", good + Close()},
      {"empty boundary", "multipart/form-data; boundary=", good + Close()},
      {"boundary over 70", "multipart/form-data; boundary=" + std::string(71, 'b'), "--"},
      {"no delimiter", kType, "a=1&b=2"},
      {"no closing delimiter", kType, good},
      {"empty body", kType, ""},
      {"head without end", kType,
       std::string(kDelimiter) + "\r\nContent-Disposition: form-data; name=\"a\"\r\n" + Close()},
      {"no disposition", kType,
       std::string(kDelimiter) + "\r\nContent-Type: text/plain\r\n\r\nx\r\n" + Close()},
      {"disposition without name", kType, Part("form-data; filename=\"x\"", "1") + Close()},
      {"not form-data", kType, Part("attachment; name=\"a\"", "1") + Close()},
      {"head line without colon", kType,
       std::string(kDelimiter) +
           "\r\nContent-Disposition: form-data; name=a\r\nbroken\r\n\r\n1\r\n" + Close()},
      {"delimiter followed by text", kType,
       std::string(kDelimiter) + "x\r\n" + "Content-Disposition: form-data; name=a\r\n\r\n1\r\n" +
           Close()},
      {"bare LF line ends", kType,
       std::string(kDelimiter) + "\nContent-Disposition: form-data; name=a\n\n1\n" + kDelimiter +
           "--\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<FormPart> parts;
    EXPECT_FALSE(ParseMultipartForm(c.contentType, c.body, &parts));
  }
}

TEST(MultipartFormTest, FormThatClosesAtOnceHasNoParts) {
  std::vector<FormPart> parts = {FormPart()};
  EXPECT_TRUE(ParseMultipartForm(kType, Close(), &parts));
  EXPECT_TRUE(parts.empty());
}

TEST(MultipartFormTest, BoundaryIsReadFromQuotedAndPlainParameters) {
  EXPECT_EQ(BoundaryOf("multipart/form-data; boundary=abc"), "abc");
  EXPECT_EQ(BoundaryOf("multipart/form-data;boundary=\"a b;c\""), "a b;c");
  EXPECT_EQ(BoundaryOf("multipart/form-data; boundary=abc; charset=utf-8"), "abc");
  EXPECT_EQ(BoundaryOf("multipart/mixed; boundary=abc"), "");
}

}  // namespace
}  // namespace demoservices_test
