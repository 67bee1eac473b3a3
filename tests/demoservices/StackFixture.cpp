#include "StackFixture.h"

#include <signal.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/ChildProcess.h"

namespace demoservices_test {
namespace {

namespace fs = std::filesystem;

const std::string& SourceRoot() {
  static const std::string root = fs::path(VORNIK_TEST_FIXTURES).parent_path().parent_path();
  return root;
}

std::string Script() { return SourceRoot() + "/tools/demo-services"; }

std::string Program() {
  return (fs::path(VORNIK_SETUP_EXE).parent_path() / "vornik-demo-services").string();
}

}  // namespace

const char StackTest::kPatternMd5[] = "28cb595c158e9b74e34ae9e8da710fff";

void StackTest::SetUp() {
  ASSERT_TRUE(fs::exists(Program())) << "build vornik-demo-services first: " << Program();
  env_.SetEnv("VORNIK_DEMO_SERVICES_EXE", Program());
}

void StackTest::TearDown() {
  const pid_t pid = Pid();
  if (pid <= 0 || ProcessEnded(pid)) return;
  RunScript("stop");
  if (!ProcessEnded(pid)) kill(pid, SIGKILL);
}

ScriptRun StackTest::RunScript(const std::string& command,
                               const std::vector<std::string>& arguments) {
  std::vector<std::string> all = {command, Folder()};
  all.insert(all.end(), arguments.begin(), arguments.end());
  const std::string outputPath = env_.Root() + "/script-output.txt";
  testing_support::ChildProcess script(Script(), all, outputPath);
  ScriptRun run;
  run.exitCode = script.Wait(60000);
  run.output = testing_support::ReadFile(outputPath);
  return run;
}

ScriptRun StackTest::Start(const std::string& installer, const std::vector<std::string>& options) {
  std::vector<std::string> arguments;
  if (!installer.empty()) arguments = {"--installer", installer};
  arguments.insert(arguments.end(), options.begin(), options.end());
  return RunScript("start", arguments);
}

std::map<std::string, std::string> StackTest::Services() const {
  std::map<std::string, std::string> values;
  std::istringstream lines(testing_support::ReadFile(Folder() + "/services.conf"));
  std::string line;
  while (std::getline(lines, line)) {
    const size_t equals = line.find('=');
    if (line.empty() || line[0] == '#' || equals == std::string::npos) continue;
    values[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return values;
}

std::string StackTest::Service(const std::string& key) const {
  const auto values = Services();
  const auto value = values.find(key);
  return value == values.end() ? std::string() : value->second;
}

pid_t StackTest::Pid() const {
  std::ifstream in(Folder() + "/services.pid");
  pid_t pid = -1;
  return in >> pid ? pid : -1;
}

std::string StackTest::Log() const { return testing_support::ReadFile(Folder() + "/services.log"); }

bool StackTest::LogShows(const std::string& text) const {
  return testing_support::WaitUntil([&] { return Log().find(text) != std::string::npos; }, 10000);
}

std::string StackTest::Pattern() {
  std::string bytes(100000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i % 251);
  return bytes;
}

std::string StackTest::WritePatternInstaller() {
  const std::string path = env_.Root() + "/pattern-installer";
  testing_support::WriteFile(path, Pattern());
  return path;
}

std::string ElementText(const std::string& xml, const std::string& name) {
  const std::string open = "<" + name + ">";
  const size_t from = xml.find(open);
  if (from == std::string::npos) return "<missing>";
  const size_t to = xml.find("</" + name + ">", from);
  if (to == std::string::npos) return "<missing>";
  return xml.substr(from + open.size(), to - from - open.size());
}

bool ProcessEnded(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!std::getline(stat, text)) return true;
  const size_t close = text.rfind(") ");
  return close != std::string::npos && text.compare(close + 2, 1, "Z") == 0;
}

std::string ServicesFileFrom(const std::string& output) {
  const std::string marker = "VORNIK_SERVICES=";
  const size_t at = output.find(marker);
  if (at == std::string::npos) return std::string();
  const size_t from = at + marker.size();
  return output.substr(from, output.find('\n', from) - from);
}

}  // namespace demoservices_test
