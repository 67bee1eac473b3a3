// Builds small zip archives in memory for the toolkit's tests, through
// libzip's writer (the reader under test never sees a hand-made archive).
#pragma once
#include <string>
#include <vector>

namespace uitest {

class TestZip {
 public:
  // Stored under name exactly as given (separators and case untouched),
  // deflated, or kept verbatim when compressed is false.
  TestZip& Add(const std::string& name, const std::string& content, bool compressed = true);
  // The archive bytes; empty when libzip failed (tests then fail on it).
  std::vector<unsigned char> Build() const;

 private:
  struct File {
    std::string name;
    std::string content;
    bool compressed;
  };
  std::vector<File> files_;
};

}  // namespace uitest
