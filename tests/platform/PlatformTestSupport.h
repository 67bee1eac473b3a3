// Small fixtures for the platform tests: a fresh temporary folder per test and
// environment variables that are put back when the test ends. The platform
// tests do not use tests/support/, so they build without the rest of the tree.
#pragma once
#include <ftw.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace platform_test {

// Sets (or, with nullopt, unsets) one environment variable for its lifetime.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = getenv(name)) old_ = std::string(old);
    if (value)
      setenv(name, value->c_str(), 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      setenv(name_.c_str(), old_->c_str(), 1);
    else
      unsetenv(name_.c_str());
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

// A new folder under /tmp, removed with everything in it at the end.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = "/tmp/vornik-platform-test-XXXXXX";
    if (mkdtemp(pattern.data())) path_ = pattern;
  }
  ~TempFolder() {
    if (!path_.empty())
      nftw(
          path_.c_str(), [](const char* p, const struct stat*, int, FTW*) { return remove(p); }, 16,
          FTW_DEPTH | FTW_PHYS);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Path() const { return path_; }
  std::wstring WidePath() const { return std::wstring(path_.begin(), path_.end()); }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << content;
}

inline std::wstring Wide(const std::string& ascii) {
  return std::wstring(ascii.begin(), ascii.end());
}

// Every test that touches lock files or sockets gets its own runtime folder.
class RuntimeFolderTest : public ::testing::Test {
 protected:
  TempFolder runtime_;
  ScopedEnv runtimeEnv_{"XDG_RUNTIME_DIR", runtime_.Path()};
};

}  // namespace platform_test
