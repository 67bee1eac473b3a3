#include "Common/StartupValues.h"

#include <tinyxml2.h>

#include "ProductConfig.h"
#include "platform/Encoding.h"
#include "uitoolkit/MarkupBuilder.h"

namespace {

void TakeSetting(const std::wstring& key, const std::wstring& value, StartupValues* values) {
  if (key == L"Downloader_id") {
    values->downloaderIdText = value;
    values->downloaderId = ProductConfig::ToInt32(value);
  } else if (key == L"Site_id") {
    values->siteId = ProductConfig::ToInt32(value);
  } else if (key == L"MainPid") {
    values->mainPid = ProductConfig::ToInt32(value);
  } else if (key == L"Software_name") {
    values->softwareName = value;
  } else if (key == L"Software_version") {
    values->softwareVersion = value;
  } else if (key == L"Support32System") {
    values->support32System = value;
  } else if (key == L"Download_url" || key == L"Extra_download_url") {
    if (values->downloadUrl.empty() && !ProductConfig::IsCdnOrServiceUrl(value)) {
      values->downloadUrl = value;
    }
  }
  // Language_id is parsed by the original reader and dropped; nothing to keep.
}

std::wstring AttributeValue(const tinyxml2::XMLAttribute* attribute) {
  return attribute ? platform::FromUtf8(attribute->Value()) : std::wstring();
}

}  // namespace

std::wstring StartupValues::LogName() const {
  const size_t slash = downloadUrl.rfind(L'/');
  if (slash == std::wstring::npos) return std::wstring();
  const size_t dot = downloadUrl.find(L'.', slash + 1);
  if (dot == std::wstring::npos) return std::wstring();
  return downloadUrl.substr(slash + 1, dot - slash - 1);
}

StartupValues ReadStartupValues(const tinyxml2::XMLDocument& document) {
  StartupValues values;
  const tinyxml2::XMLElement* root = document.RootElement();
  const tinyxml2::XMLElement* section = root ? root->FirstChildElement() : nullptr;
  const tinyxml2::XMLElement* item = section ? section->FirstChildElement() : nullptr;
  for (; item; item = item->NextSiblingElement()) {
    const tinyxml2::XMLAttribute* keyAttribute = item->FirstAttribute();
    const tinyxml2::XMLAttribute* valueAttribute = keyAttribute ? keyAttribute->Next() : nullptr;
    TakeSetting(AttributeValue(keyAttribute), AttributeValue(valueAttribute), &values);
  }
  return values;
}

StartupValues ReadStartupValuesFromPackage() {
  tinyxml2::XMLDocument document;
  if (!ui::LoadPackageXml(L"configure\\configure.xml", &document)) return StartupValues();
  return ReadStartupValues(document);
}
