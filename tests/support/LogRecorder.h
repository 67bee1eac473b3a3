// Keeps the program's log lines (the message part) while it lives, and keeps
// them off standard output. One recorder at a time per process.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace testing_support {

class LogRecorder {
 public:
  LogRecorder();
  ~LogRecorder();
  LogRecorder(const LogRecorder&) = delete;
  LogRecorder& operator=(const LogRecorder&) = delete;

  std::vector<std::string> Lines() const;
  bool Contains(const std::string& line) const { return Count(line) > 0; }
  size_t Count(const std::string& line) const;
  // Lines that start with prefix.
  bool HasPrefix(const std::string& prefix) const { return CountPrefix(prefix) > 0; }
  size_t CountPrefix(const std::string& prefix) const;
  // Index of the first line equal to line at or after from; npos when none.
  size_t Find(const std::string& line, size_t from = 0) const;
  // True when the log holds these lines one after the other.
  bool ContainsRun(const std::vector<std::string>& run) const;
  void Clear();
};

}  // namespace testing_support
