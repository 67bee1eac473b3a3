#include "CurlTls.h"

#include <curl/curl.h>

#include <string>

#include "DeploymentValues.h"

void ApplyTlsVerification(CURL* handle) {
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
  const std::string caFile = deployment::CaFile();
  if (!caFile.empty()) curl_easy_setopt(handle, CURLOPT_CAINFO, caFile.c_str());
}
