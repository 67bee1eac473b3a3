#include "ExceptionReport.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "CLibcurlTool.h"
#include "DeploymentValues.h"
#include "ProductConfig.h"

namespace ExceptionReport {
namespace {

constexpr char kPath[] = "/api/exception/send";

// Drops the bytes of a UTF-8 character that the cut left incomplete.
void DropCutCharacter(std::string* text) {
  size_t start = text->size();
  while (start > 0 && (static_cast<unsigned char>((*text)[start - 1]) & 0xC0) == 0x80) --start;
  if (start == 0) return;
  const unsigned char lead = static_cast<unsigned char>((*text)[start - 1]);
  const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  if (text->size() - (start - 1) < length) text->resize(start - 1);
}

// snprintf into a buffer of bufferSize bytes, as the reports are formatted.
std::string FormatInto(size_t bufferSize, const char* format, ...) {
  std::vector<char> buffer(bufferSize);
  va_list arguments;
  va_start(arguments, format);
  const int length = std::vsnprintf(buffer.data(), buffer.size(), format, arguments);
  va_end(arguments);
  if (length < 0) return std::string();
  std::string text(buffer.data());
  if (static_cast<size_t>(length) >= bufferSize) DropCutCharacter(&text);
  return text;
}

const char* CodeFormat(VerificationFailure failure) {
  switch (failure) {
    case VerificationFailure::kMd5AndSignature:
      return "pid=%d&type=2&exception_code=MD5_Hash_Check_Fail_Cfg%d&other=%s,%s";
    case VerificationFailure::kMd5:
      return "pid=%d&type=2&exception_code=MD5_Check_Fail_Cfg%d&other=%s,%s";
    case VerificationFailure::kSignature:
      break;
  }
  return "pid=%d&type=2&exception_code=Hash_Check_Fail_Cfg%d&other=%s,%s";
}

Reply Post(const std::string& body) {
  Reply reply;
  CLibcurlTool tool(nullptr);  // HttpPost makes a handle of its own
  reply.result = tool.HttpPost(EndpointUrl(), body, &reply.response);
  return reply;
}

}  // namespace

bool VerificationFailureOf(bool md5Valid, bool signatureValid, VerificationFailure* failure) {
  if (md5Valid && signatureValid) return false;
  if (!md5Valid && !signatureValid) {
    *failure = VerificationFailure::kMd5AndSignature;
  } else {
    *failure = md5Valid ? VerificationFailure::kSignature : VerificationFailure::kMd5;
  }
  return true;
}

std::string EndpointUrl() {
  const deployment::Service host = ProductConfig::TestEnv() ? deployment::Service::kUpdateServerTest
                                                            : deployment::Service::kAlertServer;
  return deployment::BaseUrl(host) + kPath;
}

std::string TooManyRedirectsBody(int32_t pid, const std::string& configRequestUrl,
                                 const std::string& downloadUrl) {
  return FormatInto(kRedirectBodyBuffer,
                    "pid=%d&type=2&exception_code=Url_Too_Many_Redirects&other=%s,%s", pid,
                    configRequestUrl.c_str(), downloadUrl.c_str());
}

std::string VerificationBody(VerificationFailure failure, int32_t pid, int configSource,
                             const std::string& configRequestUrl, const std::string& downloadUrl) {
  return FormatInto(kVerificationBodyBuffer, CodeFormat(failure), pid, configSource,
                    configRequestUrl.c_str(), downloadUrl.c_str());
}

Reply SendTooManyRedirects(int32_t pid, const std::string& configRequestUrl,
                           const std::string& downloadUrl) {
  return Post(TooManyRedirectsBody(pid, configRequestUrl, downloadUrl));
}

Reply SendVerificationFailure(VerificationFailure failure, int32_t pid, int configSource,
                              const std::string& configRequestUrl, const std::string& downloadUrl) {
  return Post(VerificationBody(failure, pid, configSource, configRequestUrl, downloadUrl));
}

}  // namespace ExceptionReport
