#include "UploadProductLog.h"

#include <curl/curl.h>

#include <cstdio>
#include <memory>

#include "CLibcurlTool.h"
#include "CurlTls.h"
#include "DeploymentValues.h"
#include "FuntionImpl.h"
#include "platform/Paths.h"

namespace {

constexpr char kPath[] = "/v1/productLogUpload";
constexpr size_t kShortestPath = 5;

struct CurlCleanup {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct MimeCleanup {
  void operator()(curl_mime* form) const { curl_mime_free(form); }
};
struct HeaderListCleanup {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, HeaderListCleanup>;

// The reply text, up to CLibcurlTool's limit for reply bodies; a longer reply
// ends the transfer.
size_t CollectReply(char* data, size_t size, size_t count, void* userData) {
  auto* reply = static_cast<std::string*>(userData);
  const size_t bytes = size * count;
  if (reply->size() + bytes > CLibcurlTool::kReplyBodyLimit) return 0;
  reply->append(data, bytes);
  return bytes;
}

bool AddTextPart(curl_mime* form, const char* name, const std::string& value) {
  curl_mimepart* part = curl_mime_addpart(form);
  return part != nullptr && curl_mime_name(part, name) == CURLE_OK &&
         curl_mime_data(part, value.data(), value.size()) == CURLE_OK;
}

// The form; null when the archive cannot be read or libcurl fails.
std::unique_ptr<curl_mime, MimeCleanup> BuildForm(CURL* handle, const std::string& archivePath,
                                                  const std::string& fileName,
                                                  const std::string& productId,
                                                  const std::string& version,
                                                  const std::string& catalogue) {
  std::unique_ptr<curl_mime, MimeCleanup> form(curl_mime_init(handle));
  if (!form) return nullptr;
  curl_mimepart* file = curl_mime_addpart(form.get());
  // The file's bytes are read while they are sent, never held whole.
  if (file == nullptr || curl_mime_name(file, "file") != CURLE_OK ||
      curl_mime_filedata(file, archivePath.c_str()) != CURLE_OK ||
      curl_mime_filename(file, fileName.c_str()) != CURLE_OK) {
    return nullptr;
  }
  if (!AddTextPart(form.get(), "product_id", productId) ||
      !AddTextPart(form.get(), "version", version)) {
    return nullptr;
  }
  if (!catalogue.empty() && !AddTextPart(form.get(), "catalogue", catalogue)) return nullptr;
  return form;
}

HeaderList RequestHeaders() {
  HeaderList headers(curl_slist_append(nullptr, "content-type:multipart/form-data"));
  if (!headers) return nullptr;
  curl_slist* longer = curl_slist_append(headers.get(), "Accept:*/*");
  if (longer == nullptr) return nullptr;
  headers.release();
  return HeaderList(longer);
}

void PrintReply(const std::string& reply) {
  std::fputs("Response from server:\n", stdout);
  std::fwrite(reply.data(), 1, reply.size(), stdout);
  std::fputs("\n", stdout);
  std::fflush(stdout);
}

}  // namespace

int UploadProductLog(const std::string& archivePath, const std::string& uploadName,
                     const std::string& productId, const std::string& version,
                     const std::string& catalogue) {
  return UploadProductLog(archivePath, uploadName, productId, version, catalogue, UploadLimits());
}

int UploadProductLog(const std::string& archivePath, const std::string& uploadName,
                     const std::string& productId, const std::string& version,
                     const std::string& catalogue, const UploadLimits& limits) {
  if (archivePath.size() < kShortestPath) return kUploadPathTooShort;
  std::unique_ptr<CURL, CurlCleanup> handle(curl_easy_init());
  if (!handle) {
    std::fputs("Failed to initialize cURL\n", stdout);
    std::fflush(stdout);
    return kUploadNoHandle;
  }
  // Texts are UTF-8 throughout, so the name needs no conversion.
  const std::string fileName =
      uploadName.empty() ? NoNameUploadName(archivePath, platform::GetLocalTime()) : uploadName;
  const auto form = BuildForm(handle.get(), archivePath, fileName, productId, version, catalogue);
  const HeaderList headers = RequestHeaders();
  if (!form || !headers) return kUploadTransferFailed;

  const std::string url = deployment::BaseUrl(deployment::Service::kLogUpload) + kPath;
  std::string reply;
  CURL* curl = handle.get();
  curl_easy_setopt(curl, CURLOPT_MIMEPOST, form.get());
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, CollectReply);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 1L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  ApplyTlsVerification(curl);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, limits.connectSeconds);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, limits.stallSeconds);
  const CURLcode result = curl_easy_perform(curl);
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  PrintReply(reply);
  return result == CURLE_OK && status == 200 ? kUploadOk : kUploadTransferFailed;
}

std::string NoNameUploadName(const std::string& archivePath, const platform::SystemTime& time) {
  const size_t slash = archivePath.rfind('/');
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const size_t dot = archivePath.rfind('.');
  const std::string extension =
      dot == std::string::npos || dot < nameStart ? ".tmp" : archivePath.substr(dot);
  char digits[32];
  std::snprintf(digits, sizeof digits, "%.4d%.2d%.2d%.2d%.2d%.2d%.3d", time.year, time.month,
                time.day, time.hour, time.minute, time.second, time.milliseconds);
  return "NoName_" + std::string(digits) + extension;
}

std::string OwnFileVersionText() {
  return FuntionImpl::GetFileVersion(platform::GetModuleFilePath());
}
