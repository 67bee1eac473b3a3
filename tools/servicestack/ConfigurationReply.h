// The update server's answer to "/queryDownloaderV2": a "Downloader" XML
// element whose children carry the download configuration, in the form the
// downloader's CConfigure reads. Pure functions, any thread.
#pragma once
#include <cstdint>
#include <string>

namespace demoservices {

struct ConfigurationFields {
  std::string softwareName = "Vornik Lumaclear";
  std::string softwareVersion = "1.0.0.0";
  std::string processName = "LumaclearApp.exe";
  std::string downloadUrl;
  std::string md5;
  int64_t fileSize = 0;
  int32_t softwareId = 0;
  // 1: the download addresses are direct ones, not CDN or service hosts.
  int32_t downloaderType = 1;
  int32_t downloaderConfig = 0;
  int32_t sliceNum = 0;
  int32_t sliceSize = 0;
  int32_t additionalTime = 0;
  // Sent for completeness; the downloader takes its time limit from its
  // embedded configuration and skips this element.
  int32_t installTimeout = 600;
};

// The reply body to a request with this query text
// ("LanguageId=1033&SoftWareID=127&SiteID=61"): the query's SoftWareID and
// SiteID come back as Downloader_id and Site_id when they are decimal
// numbers, and are left out otherwise, so that the downloader keeps its own.
// The second download address and digest are sent empty, so that no address
// outside this machine becomes a download candidate. Texts are XML-escaped.
std::string FormatConfigurationReply(const ConfigurationFields& fields, const std::string& query);

// text with &, <, >, " and ' written as XML entities.
std::string XmlEscaped(const std::string& text);

// The value of name in a query text "a=1&b=2"; "" when absent.
std::string QueryValue(const std::string& query, const std::string& name);

}  // namespace demoservices
