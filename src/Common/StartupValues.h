// The few product settings the entry needs before any window exists, read
// straight from "configure/configure.xml" of the skin package. Any thread.
#pragma once
#include <cstdint>
#include <string>

namespace tinyxml2 {
class XMLDocument;
}

struct StartupValues {
  std::wstring downloaderIdText;
  int32_t downloaderId = 0;
  int32_t siteId = 0;
  std::wstring softwareName;
  std::wstring softwareVersion;
  // The first Download_url or Extra_download_url in document order that is
  // not a CDN or service address.
  std::wstring downloadUrl;
  int32_t mainPid = 0;
  std::wstring support32System;

  // The log name: the download URL's file name without its extension. Empty
  // when the URL has no "/" or no "." after its last "/", and then no log
  // file is set up.
  std::wstring LogName() const;
};

// Walks the root's first child's children (and their following siblings),
// taking the first attribute's value as the key and the second's as the value.
// Stops quietly where the expected elements are missing.
StartupValues ReadStartupValues(const tinyxml2::XMLDocument& document);
// Reads "configure\configure.xml" from the current resource package; defaults
// when there is no package or no such file.
StartupValues ReadStartupValuesFromPackage();
