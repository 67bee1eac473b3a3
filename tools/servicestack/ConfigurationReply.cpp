#include "ConfigurationReply.h"

#include <algorithm>
#include <cctype>

namespace demoservices {
namespace {

bool IsDecimal(const std::string& text) {
  return !text.empty() && text.size() <= 10 &&
         std::all_of(text.begin(), text.end(),
                     [](unsigned char c) { return std::isdigit(c) != 0; });
}

void AddElement(const std::string& name, const std::string& text, std::string* xml) {
  *xml += "  <" + name + ">" + XmlEscaped(text) + "</" + name + ">\n";
}

void AddNumber(const std::string& name, int64_t value, std::string* xml) {
  AddElement(name, std::to_string(value), xml);
}

// Echoes a numeric query value under the element's name.
void AddEcho(const std::string& name, const std::string& query, const std::string& key,
             std::string* xml) {
  const std::string value = QueryValue(query, key);
  if (IsDecimal(value)) AddElement(name, value, xml);
}

}  // namespace

std::string XmlEscaped(const std::string& text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      case '\'':
        escaped += "&apos;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

std::string QueryValue(const std::string& query, const std::string& name) {
  size_t from = 0;
  while (from <= query.size()) {
    const size_t end = std::min(query.find('&', from), query.size());
    const std::string pair = query.substr(from, end - from);
    const size_t equals = pair.find('=');
    if (equals != std::string::npos && pair.compare(0, equals, name) == 0 &&
        equals == name.size()) {
      return pair.substr(equals + 1);
    }
    from = end + 1;
  }
  return std::string();
}

std::string FormatConfigurationReply(const ConfigurationFields& fields, const std::string& query) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Downloader>\n";
  AddEcho("Downloader_id", query, "SoftWareID", &xml);
  AddNumber("Software_id", fields.softwareId, &xml);
  AddEcho("Site_id", query, "SiteID", &xml);
  AddNumber("Downloader_type", fields.downloaderType, &xml);
  AddNumber("Downloader_config", fields.downloaderConfig, &xml);
  AddNumber("Slice_num", fields.sliceNum, &xml);
  AddNumber("Slice_size", fields.sliceSize, &xml);
  AddNumber("Additional_time", fields.additionalTime, &xml);
  AddNumber("Filesize", fields.fileSize, &xml);
  AddElement("Software_name", fields.softwareName, &xml);
  AddElement("Software_version", fields.softwareVersion, &xml);
  AddElement("Process_name", fields.processName, &xml);
  AddElement("Download_url", fields.downloadUrl, &xml);
  AddElement("Extra_download_url", "", &xml);
  AddElement("Md5", fields.md5, &xml);
  AddElement("Md5_extra", "", &xml);
  AddElement("Install_url", "", &xml);
  AddElement("Banner_url", "", &xml);
  AddElement("Licensefile_url", "", &xml);
  AddElement("Cnet_download_url", "", &xml);
  AddNumber("InstallTimeout", fields.installTimeout, &xml);
  xml += "</Downloader>\n";
  return xml;
}

}  // namespace demoservices
