// The report SDK's backlog "tempga.wk": every record taken and not yet
// accepted by its service, so that a later run can send it.
//
// The file is a JSON object {"send_count": n, "send_item": [{"task_guid": key,
// "task_status": 0, "task_content": text}, ...]}. Each update reads the file,
// changes it and replaces it atomically (temporary file, then rename) while
// holding a lock that excludes other threads and other processes, so a crash
// or a second program never leaves a torn or stale backlog. A missing or
// unreadable file, or one that is not such an object, reads as empty.
//
// The owner lock ("tempga.wk.owner") decides which process may replay and
// send the backlog's records: only one at a time, so that no record is sent
// by two processes. Any thread.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace reportsdk {

struct BacklogEntry {
  std::string key;
  int status = 0;  // 0 waiting; 2 sent (removed at once)
  std::string content;
};

class Backlog {
 public:
  explicit Backlog(std::wstring path);

  const std::wstring& Path() const { return path_; }
  // The first "send_count" entries.
  std::vector<BacklogEntry> Read() const;
  // Sets the entry of key to status and content, appends it when absent (and
  // status is not 2), removes it when status is 2. False when the file could
  // not be written (the old content stays).
  bool Update(const std::string& key, const std::string& content, int status);

  static std::vector<BacklogEntry> Parse(const std::string& text);
  static std::string Serialise(const std::vector<BacklogEntry>& entries);

 private:
  std::wstring path_;
};

}  // namespace reportsdk
