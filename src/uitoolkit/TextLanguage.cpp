#include "uitoolkit/TextLanguage.h"

#include <mutex>

namespace ui {
namespace {

std::mutex& LanguageMutex() {
  static std::mutex mutex;
  return mutex;
}

std::string& Language() {
  static std::string language;
  return language;
}

bool IsKana(wchar_t c) { return (c >= 0x3040 && c <= 0x30FF) || (c >= 0x31F0 && c <= 0x31FF); }

bool IsHangul(wchar_t c) {
  return (c >= 0xAC00 && c <= 0xD7AF) || (c >= 0x1100 && c <= 0x11FF) ||
         (c >= 0x3130 && c <= 0x318F);
}

}  // namespace

void SetTextLanguage(const std::string& tag) {
  std::lock_guard<std::mutex> lock(LanguageMutex());
  Language() = tag;
}

std::string GetTextLanguage() {
  std::lock_guard<std::mutex> lock(LanguageMutex());
  return Language();
}

std::string LanguageForText(const std::wstring& text) {
  for (wchar_t c : text) {
    if (IsKana(c)) return "ja";
    if (IsHangul(c)) return "ko";
  }
  const std::string language = GetTextLanguage();
  return language.empty() ? "en" : language;
}

}  // namespace ui
