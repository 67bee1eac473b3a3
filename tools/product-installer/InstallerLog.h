// The installer's log at the /LOG= path, one line per step, each with its
// local time as "YYYY-MM-DD hh:mm:ss.mmm   ", written as it goes (and flushed
// per line) so that a run that is stopped or times out still leaves what it
// did. Without a /LOG= path nothing is written. One thread.
#pragma once
#include <fstream>
#include <string>

class InstallerLog {
 public:
  // Creates the log's folder when needed; Open() tells whether it worked.
  explicit InstallerLog(const std::string& path);
  bool Open() const { return out_.is_open(); }
  void Line(const std::string& text);

 private:
  std::ofstream out_;
};
