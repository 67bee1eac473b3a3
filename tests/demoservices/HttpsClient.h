// Requests to the services stack over HTTPS with libcurl, trusting only the
// stack's CA file, each on a fresh handle. Any thread.
#pragma once
#include <curl/curl.h>

#include <string>
#include <vector>

namespace demoservices_test {

struct HttpResult {
  CURLcode code = CURLE_OK;
  long status = 0;
  std::string body;
};

struct FormField {
  std::string name;
  std::string value;     // the bytes of the part
  std::string fileName;  // sent as a file part with this name when not empty
};

HttpResult HttpsGet(const std::string& url, const std::string& caFile,
                    const std::vector<std::string>& headers = {});
HttpResult HttpsPost(const std::string& url, const std::string& caFile, const std::string& body,
                     const std::vector<std::string>& headers = {});
// A multipart form post as the product-log upload sends it: the header
// "content-type:multipart/form-data" (libcurl adds the boundary) and
// "Accept:*/*".
HttpResult HttpsPostForm(const std::string& url, const std::string& caFile,
                         const std::vector<FormField>& fields);

}  // namespace demoservices_test
