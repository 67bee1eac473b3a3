#include "NetFrameworkCheckScanner.h"

namespace {

constexpr wchar_t kSettingsSection[] = L"[Settings]";
constexpr wchar_t kTextSection[] = L"[Text]";
constexpr wchar_t kVersionKey[] = L"NetFrameworkVersion";
constexpr size_t kShortestLine = 3;

}  // namespace

bool NetFrameworkCheckScanner::Feed(std::wstring piece) {
  if (ended_) return true;
  piece.resize(piece.find(L'\0') == std::wstring::npos ? piece.size() : piece.find(L'\0'));
  if (piece.size() < kShortestLine) return false;
  if (piece.find(kSettingsSection) != std::wstring::npos) {
    settingsOpen_ = true;
    return false;
  }
  if (piece.find(kTextSection) != std::wstring::npos) {
    ended_ = true;
    return true;
  }
  const size_t equals = piece.find(L'=');
  if (!settingsOpen_ || equals == std::wstring::npos || equals == 0) return false;
  if (piece.compare(0, equals, kVersionKey) != 0) return false;
  value_ = piece.substr(equals + 1);
  ended_ = true;
  return true;
}
