#include "platform/Registry.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <memory>

#include "Logging.h"
#include "platform/Encoding.h"
#include "platform/Environment.h"
#include "platform/Paths.h"
#include "platform/RegistryFile.h"
#include "platform/UniqueFd.h"

namespace platform {
namespace {

using environment::GetEnv;
using environment::HomeFolder;
using registry_file::SameName;
using registry_file::Value;
using registry_file::ValueType;

constexpr char kValuesFile[] = ".reg-values";
constexpr char kLockFile[] = ".reg-lock";
constexpr wchar_t kReservedPrefix[] = L".reg-";

const char* HiveName(RegHive hive) {
  return hive == HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

std::string HiveFolder(RegHive hive) {
  std::string root = GetEnv("VORNIK_REGISTRY_ROOT");
  if (root.empty())
    root = hive == HKEY_LOCAL_MACHINE ? std::string("/var/lib/vornik/registry")
                                      : HomeFolder() + "/.config/vornik/registry";
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  return root + "/" + HiveName(hive);
}

bool IsAcceptableName(const std::wstring& name) {
  if (name.empty() || name == L"." || name == L"..") return false;
  if (name.find_first_of(std::wstring(L"/\0", 2)) != std::wstring::npos) return false;
  if (FromUtf8(ToUtf8(name)) != name) return false;  // no folder name could spell it
  const std::wstring prefix(kReservedPrefix);
  return !(name.size() >= prefix.size() && SameName(name.substr(0, prefix.size()), prefix));
}

bool SplitKeyPath(std::wstring key, std::vector<std::wstring>* parts) {
  parts->clear();
  if (!key.empty() && key.back() == L'\\') key.pop_back();
  if (key.empty()) return true;
  std::size_t start = 0;
  for (;;) {
    const std::size_t separator = key.find(L'\\', start);
    const std::wstring part = key.substr(start, separator - start);
    if (!IsAcceptableName(part)) return false;
    parts->push_back(part);
    if (separator == std::wstring::npos) return true;
    start = separator + 1;
  }
}

bool IsRealFolder(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

// Names (UTF-8) of the subkey folders of a key folder.
std::vector<std::string> SubKeyFolders(const std::string& folder) {
  std::vector<std::string> names;
  DirHandle dir(opendir(folder.c_str()));
  if (!dir) return names;
  while (const dirent* entry = readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (IsAcceptableName(FromUtf8(name)) && IsRealFolder(folder + "/" + name))
      names.push_back(name);
  }
  return names;
}

// The folder of an existing subkey, "" when there is none.
std::string FindSubKey(const std::string& folder, const std::wstring& name) {
  std::vector<std::string> candidates = SubKeyFolders(folder);
  std::sort(candidates.begin(), candidates.end());  // a stable choice should two spellings exist
  for (const std::string& candidate : candidates)
    if (SameName(FromUtf8(candidate), name)) return folder + "/" + candidate;
  return std::string();
}

// An exclusive flock on a key's lock file for the lifetime of the object.
class KeyLock {
 public:
  explicit KeyLock(const std::string& folder) {
    const std::string path = folder + "/" + kLockFile;
    UniqueFd fd(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644));
    if (!fd.IsValid()) return;
    int result;
    do {
      result = flock(fd.Get(), LOCK_EX);
    } while (result != 0 && errno == EINTR);
    if (result == 0) fd_ = std::move(fd);
  }
  bool Held() const { return fd_.IsValid(); }

 private:
  UniqueFd fd_;  // closing it drops the lock
};

std::string CreateSubKey(const std::string& folder, const std::wstring& name) {
  KeyLock lock(folder);  // two creators of one name, spelt differently, make one folder
  if (!lock.Held()) return std::string();
  std::string existing = FindSubKey(folder, name);
  if (!existing.empty()) return existing;
  const std::string path = folder + "/" + ToUtf8(name);
  if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) return std::string();
  return IsRealFolder(path) ? path : std::string();
}

// The key's folder; with create, missing keys along the path are made.
bool ResolveKey(RegHive hive, const std::wstring& key, bool create, std::string* folder) {
  std::vector<std::wstring> parts;
  if (!SplitKeyPath(key, &parts)) return false;
  std::string current = HiveFolder(hive);
  if (create && !CreateDirectories(FromUtf8(current))) return false;
  if (!IsRealFolder(current)) return false;
  for (const std::wstring& part : parts) {
    std::string next = FindSubKey(current, part);
    if (next.empty() && create) next = CreateSubKey(current, part);
    if (next.empty()) return false;
    current = next;
  }
  *folder = current;
  return true;
}

bool ReadWholeFile(const std::string& path, std::string* content) {
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  struct stat st {};
  if (!fd.IsValid() || fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (static_cast<uint64_t>(st.st_size) > registry_file::kMaxFileBytes) return false;
  content->clear();
  char buffer[8192];
  for (;;) {
    const ssize_t n = read(fd.Get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n == 0;
    content->append(buffer, static_cast<std::size_t>(n));
    if (content->size() > registry_file::kMaxFileBytes) return false;
  }
}

std::vector<Value> ReadValues(const std::string& folder) {
  std::vector<Value> values;
  const std::string path = folder + "/" + kValuesFile;
  std::string content;
  if (!ReadWholeFile(path, &content)) return values;
  if (!registry_file::Parse(content, &values))
    LOG(INFO) << " registry: values file " << path << " is not well formed, read as empty";
  return values;
}

bool WriteAll(int fd, const std::string& content) {
  std::size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool WriteValues(const std::string& folder, const std::vector<Value>& values) {
  std::string temporary = folder + "/" + kValuesFile + ".XXXXXX";
  UniqueFd fd(mkostemp(temporary.data(), O_CLOEXEC));
  if (!fd.IsValid()) return false;
  const bool written = fchmod(fd.Get(), 0644) == 0 &&
                       WriteAll(fd.Get(), registry_file::Serialize(values)) && fsync(fd.Get()) == 0;
  fd.Reset();
  if (written && rename(temporary.c_str(), (folder + "/" + kValuesFile).c_str()) == 0) return true;
  unlink(temporary.c_str());
  return false;
}

// Runs change on the key's values under the key's lock and stores the result
// when change answers true.
bool ModifyValues(RegHive hive, const std::wstring& key, bool create,
                  const std::function<bool(std::vector<Value>*)>& change) {
  std::string folder;
  if (!ResolveKey(hive, key, create, &folder)) return false;
  KeyLock lock(folder);
  if (!lock.Held()) return false;
  std::vector<Value> values = ReadValues(folder);
  return change(&values) && WriteValues(folder, values);
}

std::vector<Value>::iterator FindValue(std::vector<Value>* values, const std::wstring& name) {
  return std::find_if(values->begin(), values->end(),
                      [&](const Value& value) { return SameName(value.name, name); });
}

bool SetValue(RegHive hive, const std::wstring& key, Value value) {
  if (value.name.find(L'\0') != std::wstring::npos) return false;
  return ModifyValues(hive, key, true, [&](std::vector<Value>* values) {
    auto found = FindValue(values, value.name);
    if (found == values->end()) {
      values->push_back(std::move(value));
    } else {
      value.name = found->name;  // the first spelling stays
      *found = std::move(value);
    }
    return true;
  });
}

bool QueryValue(RegHive hive, const std::wstring& key, const std::wstring& name, ValueType type,
                Value* result) {
  std::string folder;
  if (!ResolveKey(hive, key, false, &folder)) return false;
  std::vector<Value> values = ReadValues(folder);
  auto found = FindValue(&values, name);
  if (found == values.end() || found->type != type) return false;
  *result = std::move(*found);
  return true;
}

Value MakeValue(const std::wstring& name, ValueType type) {
  Value value;
  value.name = name;
  value.type = type;
  return value;
}

}  // namespace

bool RegKeyExists(RegHive hive, const std::wstring& key) {
  std::string folder;
  return ResolveKey(hive, key, false, &folder);
}

bool RegCreateKey(RegHive hive, const std::wstring& key) {
  std::string folder;
  return ResolveKey(hive, key, true, &folder);
}

bool RegEnumSubKeys(RegHive hive, const std::wstring& key, std::vector<std::wstring>* names) {
  std::string folder;
  if (names == nullptr || !ResolveKey(hive, key, false, &folder)) return false;
  names->clear();
  for (const std::string& name : SubKeyFolders(folder)) names->push_back(FromUtf8(name));
  std::sort(names->begin(), names->end(), [](const std::wstring& a, const std::wstring& b) {
    return registry_file::FoldName(a) < registry_file::FoldName(b);
  });
  return true;
}

bool RegQueryString(RegHive hive, const std::wstring& key, const std::wstring& value,
                    std::wstring* data) {
  Value found;
  if (data == nullptr || !QueryValue(hive, key, value, ValueType::kString, &found)) return false;
  *data = found.texts.empty() ? std::wstring() : found.texts[0];
  return true;
}

bool RegQueryDword(RegHive hive, const std::wstring& key, const std::wstring& value,
                   uint32_t* data) {
  Value found;
  if (data == nullptr || !QueryValue(hive, key, value, ValueType::kDword, &found)) return false;
  *data = static_cast<uint32_t>(found.number);
  return true;
}

bool RegQueryQword(RegHive hive, const std::wstring& key, const std::wstring& value,
                   uint64_t* data) {
  Value found;
  if (data == nullptr || !QueryValue(hive, key, value, ValueType::kQword, &found)) return false;
  *data = found.number;
  return true;
}

bool RegQueryMultiString(RegHive hive, const std::wstring& key, const std::wstring& value,
                         std::vector<std::wstring>* data) {
  Value found;
  if (data == nullptr || !QueryValue(hive, key, value, ValueType::kMultiString, &found))
    return false;
  *data = std::move(found.texts);
  return true;
}

bool RegSetString(RegHive hive, const std::wstring& key, const std::wstring& value,
                  const std::wstring& data) {
  Value entry = MakeValue(value, ValueType::kString);
  entry.texts.push_back(data);
  return SetValue(hive, key, std::move(entry));
}

bool RegSetDword(RegHive hive, const std::wstring& key, const std::wstring& value, uint32_t data) {
  Value entry = MakeValue(value, ValueType::kDword);
  entry.number = data;
  return SetValue(hive, key, std::move(entry));
}

bool RegSetQword(RegHive hive, const std::wstring& key, const std::wstring& value, uint64_t data) {
  Value entry = MakeValue(value, ValueType::kQword);
  entry.number = data;
  return SetValue(hive, key, std::move(entry));
}

bool RegSetMultiString(RegHive hive, const std::wstring& key, const std::wstring& value,
                       const std::vector<std::wstring>& data) {
  Value entry = MakeValue(value, ValueType::kMultiString);
  entry.texts = data;
  return SetValue(hive, key, std::move(entry));
}

bool RegDeleteValue(RegHive hive, const std::wstring& key, const std::wstring& value) {
  return ModifyValues(hive, key, false, [&](std::vector<Value>* values) {
    auto found = FindValue(values, value);
    if (found == values->end()) return false;
    values->erase(found);
    return true;
  });
}

bool RegDeleteKeyTree(RegHive hive, const std::wstring& key) {
  std::vector<std::wstring> parts;
  std::string folder;
  if (!SplitKeyPath(key, &parts) || parts.empty() || !ResolveKey(hive, key, false, &folder))
    return false;
  std::error_code error;
  std::filesystem::remove_all(folder, error);  // does not follow symbolic links
  return !error && !PathExists(FromUtf8(folder));
}

}  // namespace platform
