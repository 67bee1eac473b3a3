// Exception reports: one short form post to the maker's exception endpoint
// per serious download failure, sent by the install flow.
//
// The body is "pid=%d&type=2&exception_code=<code>&other=%s,%s" with the
// values inserted as they are: no percent-encoding, so "&" and "," inside a
// value reach the service unchanged. It is formatted into a buffer of fixed
// size (2048 bytes for the redirect report, 1024 for the verification
// report); a body that would not fit is cut at the buffer's end, on a UTF-8
// character boundary, so the code and the configuration request URL (at
// most 511 bytes) always arrive and only the tail of the download address
// can be lost.
//
// The endpoint is "/api/exception/send" on the product-alert server; with
// the TestEnv switch of the local switch file set, on the update server's
// test host instead, where TestEnv's configuration requests go
// (deployment values "alert" and "update_test").
//
// Sending blocks the calling thread for one CLibcurlTool::HttpPost (at most
// 10 s), without retry. Nothing is logged here: the caller logs the reply's
// text and result. Any thread.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace ExceptionReport {

constexpr size_t kRedirectBodyBuffer = 2048;
constexpr size_t kVerificationBodyBuffer = 1024;

// What the verification of a downloaded installer found wrong.
enum class VerificationFailure {
  kMd5AndSignature,  // "MD5_Hash_Check_Fail_Cfg%d"
  kMd5,              // "MD5_Check_Fail_Cfg%d"
  kSignature,        // "Hash_Check_Fail_Cfg%d"
};

// The failure for the two verification results; false when both are valid
// and there is nothing to report.
bool VerificationFailureOf(bool md5Valid, bool signatureValid, VerificationFailure* failure);

struct Reply {
  int result = 0;        // CLibcurlTool::HttpPost's: the CURLcode, 2 without a handle
  std::string response;  // the reply body, as received
};

// "https://host/api/exception/send" as chosen by the TestEnv switch now.
std::string EndpointUrl();

// The bodies, exactly as sent. configRequestUrl is the download
// configuration's last request URL, downloadUrl the address in use (UTF-8);
// configSource is where the download configuration came from (1 the server,
// 2 the embedded product configuration).
std::string TooManyRedirectsBody(int32_t pid, const std::string& configRequestUrl,
                                 const std::string& downloadUrl);
std::string VerificationBody(VerificationFailure failure, int32_t pid, int configSource,
                             const std::string& configRequestUrl, const std::string& downloadUrl);

// Report 1: a download round ended with too many redirects.
Reply SendTooManyRedirects(int32_t pid, const std::string& configRequestUrl,
                           const std::string& downloadUrl);
// Report 2: the downloaded installer failed verification.
Reply SendVerificationFailure(VerificationFailure failure, int32_t pid, int configSource,
                              const std::string& configRequestUrl, const std::string& downloadUrl);

}  // namespace ExceptionReport
