#include <gtest/gtest.h>

#include "Common/CommandLine.h"

namespace {

struct Case {
  const wchar_t* commandLine;
  RunKind::Kind kind;
  bool console;
  const wchar_t* logFileName;
  const wchar_t* reason;
};

TEST(CommandLine, KindsOfRun) {
  const Case cases[] = {
      {L"", RunKind::kInstaller, false, L"", L""},
      {L"debug", RunKind::kInstaller, true, L"", L""},
      {L"debug ", RunKind::kInstaller, false, L"", L""},
      {L" debug", RunKind::kInstaller, false, L"", L""},
      {L"Debug", RunKind::kInstaller, false, L"", L""},
      {L"-dmp lumaclear_setup_20261211103000123.log", RunKind::kCrashReport, false,
       L"lumaclear_setup_20261211103000123.log", L"CrashDmp"},
      {L"-dmp", RunKind::kInstaller, false, L"", L""},
      {L"x-dmpy", RunKind::kInstaller, false, L"", L""},
      {L"-close07 a_1.log -dmp b.log", RunKind::kCrashReport, false, L"b.log", L"CrashDmp"},
      {L"-close07 lumaclear_setup_1.log", RunKind::kCloseReport, false, L"lumaclear_setup_1.log",
       L"close07"},
      {L"-close01 my log.log", RunKind::kCloseReport, false, L"my log.log", L"close01"},
      {L"-close", RunKind::kCloseReport, false, L"", L"close"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "command line \"" << c.commandLine << "\"");
    const RunKind run = ClassifyCommandLine(c.commandLine);
    EXPECT_EQ(run.kind, c.kind);
    EXPECT_EQ(run.debugConsole, c.console);
    EXPECT_EQ(run.logFileName, c.logFileName);
    EXPECT_EQ(run.reason, c.reason);
  }
}

}  // namespace
