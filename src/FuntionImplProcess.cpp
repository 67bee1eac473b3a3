#include <chrono>
#include <cwctype>
#include <string>
#include <vector>

#include "FuntionImpl.h"
#include "Logging.h"
#include "platform/Processes.h"

namespace FuntionImpl {
namespace {

// Module paths are read into a MAX_PATH buffer; a longer path is cut and so never equals a path.
constexpr uint32_t kModulePathCapacity = 260;
// The caller reopens the file right after the kill, so the killed processes
// must be gone by then; a process stuck in the kernel is not waited for longer.
constexpr auto kEndWaitLimit = std::chrono::milliseconds(5000);

std::wstring Lowered(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  return text;
}

std::wstring FileNameOf(const std::wstring& path) {
  const size_t slash = path.rfind(L'/');
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// "name.exe" -> "name.tmp"; a name too short to have an extension has no twin.
std::wstring TemporaryTwinOf(const std::wstring& name) {
  return name.size() > 3 ? name.substr(0, name.size() - 3) + L"tmp" : std::wstring();
}

struct Target {
  std::wstring path;  // lowered
  std::wstring name;  // lowered
  std::wstring twin;  // lowered; empty without temporary copies
  bool includeTemporaryCopies = false;
};

bool NameMatches(const Target& target, const std::wstring& exeFile) {
  const std::wstring name = Lowered(exeFile);
  return !name.empty() && (name == target.name || (!target.twin.empty() && name == target.twin));
}

// Reads the process's module path and tells whether it is the target; the
// handle is left open for the kill.
bool ModuleMatches(const Target& target, const platform::ProcessHandle& process) {
  std::wstring modulePath;
  const uint32_t returned =
      platform::GetProcessModulePath(process, kModulePathCapacity, &modulePath);
  LOG(INFO) << " Get proc info: " << returned << ", " << modulePath.size();
  modulePath = Lowered(modulePath);
  return modulePath == target.path ||
         (target.includeTemporaryCopies && modulePath.find(L".tmp") != std::wstring::npos);
}

void WaitForEnds(std::vector<platform::ProcessHandle>* ended) {
  const auto deadline = std::chrono::steady_clock::now() + kEndWaitLimit;
  for (platform::ProcessHandle& process : *ended) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    platform::WaitForProcess(process, left.count() > 0 ? static_cast<uint32_t>(left.count()) : 0);
  }
}

}  // namespace

int FindProcessByFullPath(const std::wstring& filePath, bool kill, bool includeTemporaryCopies) {
  Target target;
  target.path = Lowered(filePath);
  target.name = FileNameOf(target.path);
  target.twin = includeTemporaryCopies ? TemporaryTwinOf(target.name) : std::wstring();
  target.includeTemporaryCopies = includeTemporaryCopies;

  std::vector<platform::ProcessEntry> entries;
  if (!platform::SnapshotProcesses(&entries)) return -2;
  const uint32_t self = platform::GetCurrentProcessId();
  std::vector<platform::ProcessHandle> ended;
  int found = -1;
  for (const platform::ProcessEntry& entry : entries) {
    if (!NameMatches(target, entry.exeFile)) continue;
    LOG(INFO) << " Find proc: " << entry.processId;
    if (entry.processId == self) continue;
    platform::ProcessHandle process = platform::OpenProcess(entry.processId);
    if (!ModuleMatches(target, process)) continue;
    found = static_cast<int>(entry.processId);
    if (kill) {
      int lastError = 0;
      const bool result = platform::TerminateProcess(process, 0, &lastError);
      LOG(INFO) << " Kill proc: " << (result ? 1 : 0) << ", " << lastError;
      if (result) ended.push_back(std::move(process));
    }
    if (!includeTemporaryCopies) break;
  }
  WaitForEnds(&ended);
  return found;
}

}  // namespace FuntionImpl
