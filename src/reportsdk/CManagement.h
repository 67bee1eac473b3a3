// CManagement: the report SDK's process-wide state: who is reporting (type,
// pids, product, tools), the machine facts of every funnel record, the SDK
// folders and log, and the local settings files beside the program
// ("test.wk", "proxy.txt", "SP.dat").
//
// The singleton (Instance) is built on first use and lives until the process
// ends. Tests build their own objects. Every method may be called from any
// thread: the fields are guarded by one lock of their own, and records are
// built from a copy (Snapshot) taken under it, so SetExtraCommon on one
// thread never tears a record being built on another.
#pragma once
#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>

#include "reportsdk/Backlog.h"

namespace reportsdk {

struct CommonFields {
  int32_t type = 0;  // 1 product, 2 downloader
  int32_t mainPid = 0;
  int32_t parentPid = 0;
  int32_t downloaderId = 0;
  int32_t kitType = 0;
  std::string product, productVersion, email, phone, toolsLanguage, toolsVersion;
  std::string sessionId, crossId, uid, osName, osVersion, mac, boardMaker, boardProduct, userId;
  std::string extraCommon;  // styled JSON of an object, or ""
};

// The machine facts a record carries; the real ones come from the system
// information queries, tests give their own.
struct MachineFacts {
  std::string uid, osName, osVersion, mac, boardMaker, boardProduct, volumeSerial;
  static MachineFacts FromSystem();
};

class CManagement {
 public:
  static CManagement& Instance();

  // Reads the program folder and "test.wk" beside the program.
  CManagement();
  ~CManagement();
  CManagement(const CManagement&) = delete;
  CManagement& operator=(const CManagement&) = delete;

  // The first steps of IWebLog::Init: folders, log file, identity, a new
  // session id and the machine facts.
  void Initialise(int32_t type, int32_t mainPid, int32_t parentPid, const std::string& email,
                  const std::string& phone, const std::string& product,
                  const std::string& productVersion, const std::string& userId);
  void SetDownloaderInfo(int32_t downloaderId, int32_t kitType, const std::string& toolsLanguage,
                         const std::string& toolsVersion);
  void SetExtraCommon(const std::string& extraCommonJson, const std::string& userId,
                      const std::string& toolsLanguage, const std::string& productVersion,
                      int32_t parentPid);

  CommonFields Snapshot();
  std::string VolumeSerial();

  bool TestEnvironment() const { return testEnvironment_; }
  bool CrashTest() const { return crashTest_; }
  const std::wstring& ProgramFolder() const { return programFolder_; }
  // "%APPDATA%/VUZiduZadodaDUR/<main pid>/backup/tempga.wk"; empty before Initialise.
  std::wstring BacklogPath();
  // The first line of "proxy.txt" beside the program; "" when missing or empty.
  std::string Proxy() const;

  // One line of the SDK log (printf format); nothing before Initialise.
  void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));

  // Tests: machine facts and the process's command line and exit.
  void SetMachineFactsForTesting(const MachineFacts& facts);
  const std::string& CommandLine() const { return commandLine_; }
  void SetCommandLineForTesting(const std::string& commandLine) { commandLine_ = commandLine; }
  void SetExitForTesting(std::function<void(int)> exitProcess) {
    exitProcess_ = std::move(exitProcess);
  }
  void ExitProcess(int code);

  // The cross id of a program file name or an "SP.dat" line: the characters
  // strictly between the last "_" and the last "."; "" when either is missing.
  static std::string CrossIdOfName(const std::string& name);

 private:
  std::string ComputeCrossId(int32_t type) const;
  void OpenLog(int32_t mainPid);

  std::mutex mutex_;
  CommonFields fields_;
  bool crossIdKnown_ = false;
  bool machineFactsInjected_ = false;
  MachineFacts facts_;
  std::wstring programFolder_;
  std::wstring productFolder_;
  bool testEnvironment_ = false;
  bool crashTest_ = false;
  std::string commandLine_;
  std::function<void(int)> exitProcess_;

  std::mutex logMutex_;
  FILE* log_ = nullptr;
};

}  // namespace reportsdk
