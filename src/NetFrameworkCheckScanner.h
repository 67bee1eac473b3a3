// The scan of NetFrameCheck.db for the .NET Framework version a product
// needs. The file looks like an INI file; the scan is fed the pieces a line
// reader of 1024 characters returns (a longer line comes in several pieces,
// each taken as a line of its own):
// - a piece shorter than 3 characters, its line break counted, is skipped;
// - a piece containing "[Settings]" opens the settings section, which stays
//   open to the end;
// - otherwise a piece containing "[Text]" ends the scan;
// - otherwise, with the section open, a piece whose first "=" is not its
//   first character and whose text before it is exactly "NetFrameworkVersion"
//   gives the value (everything after the "=", line break included) and ends
//   the scan.
// A piece is looked at as a C string: up to its first U+0000.
//
// One object per scan, one thread at a time.
#pragma once
#include <string>

class NetFrameworkCheckScanner {
 public:
  // Returns true when the scan has ended with this piece.
  bool Feed(std::wstring piece);
  bool Ended() const { return ended_; }
  // Empty until the key was met.
  const std::wstring& Value() const { return value_; }

 private:
  bool settingsOpen_ = false;
  bool ended_ = false;
  std::wstring value_;
};
