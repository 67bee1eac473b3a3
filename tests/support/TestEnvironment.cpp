#include "support/TestEnvironment.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace testing_support {

namespace fs = std::filesystem;

TestEnvironment::TestEnvironment() {
  std::string pattern = (fs::temp_directory_path() / "vornik-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
  for (const char* folder : {"/appdata", "/run", "/drive", "/registry"}) {
    fs::create_directories(root_ + folder);
  }
  fs::permissions(Runtime(), fs::perms::owner_all, fs::perm_options::replace);
  SetEnv("APPDATA", AppData());
  SetEnv("XDG_RUNTIME_DIR", Runtime());
  SetEnv("VORNIK_FIXED_DRIVES", Drive());
  SetEnv("VORNIK_REGISTRY_ROOT", root_ + "/registry");
  SetEnv("VORNIK_MACHINE_ID", root_ + "/machine-id");  // absent unless a test writes it
  SetEnv("VORNIK_NETWORK_ALIVE", "1");                 // downloads never wait for a network
  // Every request to a host other than this machine goes to a closed local
  // port instead, so that no test can reach (or wait for) a real host, for
  // example through an address of the embedded product configuration.
  for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "ALL_PROXY", "all_proxy"})
    SetEnv(name, "http://127.0.0.1:9");
  for (const char* name : {"no_proxy", "NO_PROXY"}) SetEnv(name, "127.0.0.1,localhost,.localhost");
  // Programs under test never reach a real service: every address points at
  // a closed local port until a test starts its own server, and the hidden
  // run that delivers the telemetry backlog gives up at once.
  std::ofstream services(root_ + "/services.conf");
  for (const char* key : {"ga4", "collector", "test_collector", "update", "update_cn",
                          "update_test", "alert", "log_upload", "banner"}) {
    services << key << "=https://127.0.0.1:9\n";
  }
  services.close();
  SetEnv("VORNIK_SERVICES", root_ + "/services.conf");
  SetEnv("VORNIK_REPORT_TIMING", "retry_pause=20,idle_poll=50,drain_poll=50,drain_limit=1000");
}

namespace {

// True while a process other than this one runs with root in its
// environment: the hidden runs that programs under test start at their end
// (the telemetry drain run) outlive them by up to a second.
bool SomeProcessUses(const std::string& root) {
  const std::string marker = "APPDATA=" + root + "/appdata";
  const std::string self = std::to_string(getpid());
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/proc", error)) {
    const std::string pid = entry.path().filename().string();
    if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos || pid == self) {
      continue;
    }
    std::ifstream in(entry.path() / "environ", std::ios::binary);
    std::string variable;
    while (std::getline(in, variable, '\0')) {
      if (variable == marker) return true;
    }
  }
  return false;
}

}  // namespace

TestEnvironment::~TestEnvironment() {
  // Let such runs end before their folders go, so that nothing is left behind.
  WaitUntil([this] { return !SomeProcessUses(root_); }, 10000);
  for (const auto& [name, old] : saved_) {
    if (old.first) {
      setenv(name.c_str(), old.second.c_str(), 1);
    } else {
      unsetenv(name.c_str());
    }
  }
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

void TestEnvironment::SetEnv(const std::string& name, const std::string& value) {
  if (saved_.count(name) == 0) {
    const char* old = std::getenv(name.c_str());
    saved_[name] = {old != nullptr, old ? old : ""};
  }
  setenv(name.c_str(), value.c_str(), 1);
}

void WriteFile(const std::string& path, const std::string& text) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

}  // namespace testing_support
