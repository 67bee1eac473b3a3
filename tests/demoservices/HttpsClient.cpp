#include "HttpsClient.h"

#include <functional>
#include <memory>

namespace demoservices_test {
namespace {

using Handle = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;
using HeaderList = std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)>;
using Mime = std::unique_ptr<curl_mime, decltype(&curl_mime_free)>;

size_t Collect(char* data, size_t size, size_t count, void* target) {
  static_cast<std::string*>(target)->append(data, size * count);
  return size * count;
}

HeaderList Headers(const std::vector<std::string>& lines) {
  curl_slist* list = nullptr;
  for (const std::string& line : lines) list = curl_slist_append(list, line.c_str());
  return HeaderList(list, &curl_slist_free_all);
}

// Performs a request on a fresh handle after prepare has set its own options.
HttpResult Perform(const std::string& url, const std::string& caFile,
                   const std::vector<std::string>& headerLines,
                   const std::function<void(CURL*)>& prepare) {
  HttpResult result;
  Handle handle(curl_easy_init(), &curl_easy_cleanup);
  if (!handle) {
    result.code = CURLE_FAILED_INIT;
    return result;
  }
  const HeaderList headers = Headers(headerLines);
  CURL* curl = handle.get();
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_CAINFO, caFile.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Collect);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &result.body);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, 15000L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  prepare(curl);
  result.code = curl_easy_perform(curl);
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.status);
  return result;
}

}  // namespace

HttpResult HttpsGet(const std::string& url, const std::string& caFile,
                    const std::vector<std::string>& headers) {
  return Perform(url, caFile, headers, [](CURL*) {});
}

HttpResult HttpsPost(const std::string& url, const std::string& caFile, const std::string& body,
                     const std::vector<std::string>& headers) {
  return Perform(url, caFile, headers, [&body](CURL* curl) {
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  });
}

HttpResult HttpsPostForm(const std::string& url, const std::string& caFile,
                         const std::vector<FormField>& fields) {
  Mime mime(nullptr, &curl_mime_free);
  return Perform(url, caFile, {"content-type:multipart/form-data", "Accept:*/*"}, [&](CURL* curl) {
    mime.reset(curl_mime_init(curl));
    for (const FormField& field : fields) {
      curl_mimepart* part = curl_mime_addpart(mime.get());
      curl_mime_name(part, field.name.c_str());
      curl_mime_data(part, field.value.data(), field.value.size());
      if (!field.fileName.empty()) curl_mime_filename(part, field.fileName.c_str());
    }
    curl_easy_setopt(curl, CURLOPT_MIMEPOST, mime.get());
  });
}

}  // namespace demoservices_test
