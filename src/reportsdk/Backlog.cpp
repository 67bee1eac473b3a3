#include "reportsdk/Backlog.h"

#include <json/json.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <sstream>

#include "JsonText.h"
#include "platform/FileLock.h"

namespace reportsdk {
namespace {

// Serialises updates between threads of this process; the file lock does it
// between processes.
std::mutex& UpdateMutex() {
  static std::mutex mutex;
  return mutex;
}

constexpr uint32_t kLockWaitMs = 10000;

}  // namespace

Backlog::Backlog(std::wstring path) : path_(std::move(path)) {}

std::vector<BacklogEntry> Backlog::Parse(const std::string& text) {
  std::vector<BacklogEntry> entries;
  Json::Value root;
  if (!ParseJsonText(text, &root) || !root.isObject()) return entries;
  const Json::Value& items = root["send_item"];
  const Json::Value& count = root["send_count"];
  if (!items.isArray()) return entries;
  // Only the first "send_count" entries count; a file without a usable count
  // keeps all its entries rather than dropping records.
  Json::ArrayIndex limit = items.size();
  if (count.isInt64()) {
    const int64_t declared = std::max<int64_t>(0, count.asInt64());
    if (declared < static_cast<int64_t>(limit)) limit = static_cast<Json::ArrayIndex>(declared);
  }
  for (Json::ArrayIndex i = 0; i < limit; ++i) {
    const Json::Value& item = items[i];
    if (!item.isObject() || !item["task_guid"].isString()) continue;
    BacklogEntry entry;
    entry.key = item["task_guid"].asString();
    entry.status = item["task_status"].isInt() ? item["task_status"].asInt() : 0;
    entry.content = item["task_content"].isString() ? item["task_content"].asString() : "";
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::string Backlog::Serialise(const std::vector<BacklogEntry>& entries) {
  Json::Value root(Json::objectValue);
  root["send_count"] = static_cast<Json::Int>(entries.size());
  Json::Value items(Json::arrayValue);
  for (const BacklogEntry& entry : entries) {
    Json::Value item(Json::objectValue);
    item["task_guid"] = entry.key;
    item["task_status"] = entry.status;
    item["task_content"] = entry.content;
    items.append(item);
  }
  root["send_item"] = items;
  Json::StreamWriterBuilder writer;
  return Json::writeString(writer, root);
}

std::vector<BacklogEntry> Backlog::Read() const {
  std::string text;
  if (!platform::ReadWholeFile(path_, &text)) return {};
  return Parse(text);
}

bool Backlog::Update(const std::string& key, const std::string& content, int status) {
  std::lock_guard<std::mutex> guard(UpdateMutex());
  platform::FileLock lock(path_ + L".lock");
  // A holder that hangs must not stop telemetry for good: after the wait the
  // update goes ahead unlocked, which at worst repeats a record later.
  lock.Lock(kLockWaitMs);
  std::vector<BacklogEntry> entries = Read();
  const auto found = std::find_if(entries.begin(), entries.end(),
                                  [&](const BacklogEntry& entry) { return entry.key == key; });
  if (found != entries.end()) {
    found->status = status;
    found->content = content;
    if (status == 2) entries.erase(found);
  } else if (status != 2) {
    entries.push_back(BacklogEntry{key, status, content});
  }
  return platform::WriteFileAtomically(path_, Serialise(entries));
}

}  // namespace reportsdk
