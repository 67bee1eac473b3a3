// Small fixtures for the platform tests beside tests/support/: a bare
// temporary folder (no fake machine in it) and one environment variable set or
// unset for a scope, put back when the scope ends.
#pragma once
#include <ftw.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>

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

inline std::wstring Wide(const std::string& ascii) {
  return std::wstring(ascii.begin(), ascii.end());
}

}  // namespace platform_test
