#include "reportsdk/CManagement.h"

#include <json/json.h>

#include <cstdarg>
#include <cwchar>
#include <fstream>
#include <random>

#include "FuntionImpl.h"
#include "JsonText.h"
#include "platform/Encoding.h"
#include "platform/FileLock.h"
#include "platform/Ini.h"
#include "platform/LocalTime.h"
#include "platform/Paths.h"
#include "platform/Processes.h"

namespace reportsdk {
namespace {

const char* const kReservedCommonNames[] = {"is_new",
                                            "session_id",
                                            "rnclid",
                                            "cross_end_id",
                                            "uid",
                                            "user_id",
                                            "email",
                                            "phone",
                                            "source_type",
                                            "os",
                                            "os_version",
                                            "pid",
                                            "mac",
                                            "model",
                                            "brand",
                                            "product",
                                            "product_version",
                                            "site_id",
                                            "web",
                                            "browser",
                                            "brower_language",
                                            "page_id",
                                            "last_page_id",
                                            "rf",
                                            "goods_id",
                                            "referer",
                                            "channel",
                                            "cart_session_id",
                                            "kit_type",
                                            "tools_lang",
                                            "tools_version",
                                            "downloader_id"};

bool IsReservedCommonName(const std::string& name) {
  std::string lowered = name;
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  for (const char* reserved : kReservedCommonNames) {
    if (lowered == reserved) return true;
  }
  return false;
}

std::string NewSessionId() {
  std::random_device device;
  unsigned char bytes[16];
  for (unsigned char& byte : bytes) byte = static_cast<unsigned char>(device() & 0xFF);
  // A version 4 GUID, as the system's GUID generator makes them.
  bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);
  char text[40];
  std::snprintf(text, sizeof text,
                "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", bytes[0],
                bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8],
                bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
  return text;
}

std::string FirstLine(const std::wstring& path, size_t limit) {
  std::ifstream in(platform::ToUtf8(path), std::ios::binary);
  std::string line;
  if (!in || !std::getline(in, line)) return std::string();
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line.size() > limit) line.resize(limit);
  return line;
}

}  // namespace

MachineFacts MachineFacts::FromSystem() {
  MachineFacts facts;
  facts.uid = FuntionImpl::GetVolumeGuid();
  facts.osName = FuntionImpl::GetSdkOsName();
  facts.osVersion = FuntionImpl::GetSdkOsVersion();
  facts.mac = FuntionImpl::GetMacAddress();
  facts.boardMaker = FuntionImpl::GetBoardMaker();
  facts.boardProduct = FuntionImpl::GetBoardProduct();
  facts.volumeSerial = FuntionImpl::GetVolumeSerial();
  return facts;
}

CManagement& CManagement::Instance() {
  // Never destroyed: the sender thread may still use it while the process ends.
  static CManagement* instance = new CManagement();
  return *instance;
}

CManagement::CManagement()
    : programFolder_(platform::GetModuleFolder()),
      commandLine_(platform::ToUtf8(platform::GetProcessCommandLine())) {
  const std::wstring settings = programFolder_ + L"test.wk";
  testEnvironment_ = platform::GetPrivateProfileInt(L"Configs", L"TestEnv", 0, settings) != 0;
  crashTest_ = platform::GetPrivateProfileInt(L"Configs", L"CrashTest", 0, settings) != 0;
}

CManagement::~CManagement() {
  if (log_ != nullptr) std::fclose(log_);
}

void CManagement::OpenLog(int32_t mainPid) {
  const std::wstring sdkFolder = platform::GetAppDataFolder() + L"/VUZiduZadodaDUR";
  const std::wstring productFolder = sdkFolder + L"/" + std::to_wstring(mainPid);
  platform::CreateDirectories(productFolder + L"/backup");
  platform::CreateDirectories(productFolder + L"/logs");
  const platform::SystemTime now = platform::GetLocalTime();
  wchar_t name[32];
  std::swprintf(name, 32, L"%4d%02d%02d.log", now.year, now.month, now.day);
  std::lock_guard<std::mutex> lock(logMutex_);
  if (log_ != nullptr) std::fclose(log_);
  log_ = std::fopen(platform::ToUtf8(productFolder + L"/logs/" + name).c_str(), "ae");
  productFolder_ = productFolder;
}

void CManagement::Log(const char* format, ...) {
  char message[4096];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(message, sizeof message, format, arguments);
  va_end(arguments);
  const platform::SystemTime now = platform::GetLocalTime();
  char prefix[64];
  std::snprintf(prefix, sizeof prefix, "%4d%02d%02d-%02d%02d%02d-%03d [%d] ", now.year, now.month,
                now.day, now.hour, now.minute, now.second, now.milliseconds,
                static_cast<int>(platform::GetCurrentProcessId()));
  // A line holds at most 1023 characters, its line end included.
  std::string line = std::string(prefix) + message;
  if (line.size() > 1022) line.resize(1022);
  line += '\n';
  std::lock_guard<std::mutex> lock(logMutex_);
  if (log_ == nullptr) return;
  std::fputs(line.c_str(), log_);
  std::fflush(log_);
}

void CManagement::Initialise(int32_t type, int32_t mainPid, int32_t parentPid,
                             const std::string& email, const std::string& phone,
                             const std::string& product, const std::string& productVersion,
                             const std::string& userId) {
  OpenLog(mainPid);
  const std::string crossId = ComputeCrossId(type);
  std::lock_guard<std::mutex> lock(mutex_);
  if (!machineFactsInjected_) facts_ = MachineFacts::FromSystem();
  fields_.type = type;
  fields_.mainPid = mainPid;
  fields_.parentPid = parentPid;
  fields_.email = email;
  fields_.phone = phone;
  fields_.product = product;
  fields_.productVersion = productVersion;
  fields_.userId = userId;
  fields_.sessionId = NewSessionId();
  fields_.uid = facts_.uid;
  fields_.osName = facts_.osName;
  fields_.osVersion = facts_.osVersion;
  fields_.mac = facts_.mac;
  fields_.boardMaker = facts_.boardMaker;
  fields_.boardProduct = facts_.boardProduct;
  fields_.crossId = crossId;
  crossIdKnown_ = true;
}

void CManagement::SetDownloaderInfo(int32_t downloaderId, int32_t kitType,
                                    const std::string& toolsLanguage,
                                    const std::string& toolsVersion) {
  std::lock_guard<std::mutex> lock(mutex_);
  fields_.downloaderId = downloaderId;
  fields_.kitType = kitType;
  fields_.toolsLanguage = toolsLanguage;
  fields_.toolsVersion = toolsVersion;
}

void CManagement::SetExtraCommon(const std::string& extraCommonJson, const std::string& userId,
                                 const std::string& toolsLanguage,
                                 const std::string& productVersion, int32_t parentPid) {
  if (!extraCommonJson.empty()) {
    Json::Value parsed;
    std::string errors;
    if (ParseJsonText(extraCommonJson, &parsed, &errors)) {
      Json::Value kept(Json::objectValue);
      if (parsed.isObject()) {
        for (const std::string& name : parsed.getMemberNames()) {
          if (!IsReservedCommonName(name)) kept[name] = parsed[name];
        }
      }
      std::lock_guard<std::mutex> lock(mutex_);
      fields_.extraCommon = kept.toStyledString();
    } else {
      Log("Extra common parse failed: %s", errors.c_str());
    }
  }
  std::lock_guard<std::mutex> lock(mutex_);
  fields_.userId = userId;
  fields_.toolsLanguage = toolsLanguage;
  fields_.productVersion = productVersion;
  fields_.parentPid = parentPid;
}

CommonFields CManagement::Snapshot() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!crossIdKnown_) {
    fields_.crossId = ComputeCrossId(fields_.type);
    crossIdKnown_ = true;
  }
  return fields_;
}

std::string CManagement::VolumeSerial() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!machineFactsInjected_ && facts_.volumeSerial.empty()) {
    facts_.volumeSerial = FuntionImpl::GetVolumeSerial();
  }
  return facts_.volumeSerial;
}

std::wstring CManagement::BacklogPath() {
  std::lock_guard<std::mutex> lock(logMutex_);
  return productFolder_.empty() ? std::wstring() : productFolder_ + L"/backup/tempga.wk";
}

std::string CManagement::Proxy() const { return FirstLine(programFolder_ + L"proxy.txt", 4096); }

void CManagement::SetMachineFactsForTesting(const MachineFacts& facts) {
  std::lock_guard<std::mutex> lock(mutex_);
  facts_ = facts;
  machineFactsInjected_ = true;
}

void CManagement::ExitProcess(int code) {
  if (exitProcess_) {
    exitProcess_(code);
    return;
  }
  platform::ExitProcess(code);
}

std::string CManagement::CrossIdOfName(const std::string& name) {
  const size_t underscore = name.rfind('_');
  const size_t dot = name.rfind('.');
  if (underscore == std::string::npos || dot == std::string::npos || dot <= underscore) {
    return std::string();
  }
  return name.substr(underscore + 1, dot - underscore - 1);
}

std::string CManagement::ComputeCrossId(int32_t type) const {
  if (type == 2) {
    const std::string path = platform::ToUtf8(platform::GetModuleFilePath());
    const size_t slash = path.rfind('/');
    return CrossIdOfName(slash == std::string::npos ? path : path.substr(slash + 1));
  }
  if (type != 1) return std::string();
  std::ifstream in(platform::ToUtf8(programFolder_ + L"SP.dat"), std::ios::binary);
  std::string line;
  while (in && std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > 255) line.resize(255);
    const size_t underscore = line.rfind('_');
    const size_t dot = line.rfind('.');
    if (line.size() > 4 && underscore != std::string::npos && dot != std::string::npos &&
        underscore < dot) {
      return CrossIdOfName(line);
    }
  }
  return std::string();
}

}  // namespace reportsdk
