#include "platform/Resource.h"

// Defined by the generated skin_resource.S (cmake/SkinPackage.cmake). Weak, so
// that a binary linked without the skin object still links; the addresses are
// then null and the lookup fails as FindResource would.
extern "C" const unsigned char vornik_skin_zip_begin[] __attribute__((weak));
extern "C" const unsigned char vornik_skin_zip_end[] __attribute__((weak));

namespace platform {
namespace {

constexpr int kSkinResourceId = 138;

// Resource type names compare case-insensitively on Windows.
bool EqualsAsciiNoCase(const std::wstring& a, const wchar_t* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i] != L'\0'; ++i) {
    const wchar_t x = (a[i] >= L'a' && a[i] <= L'z') ? a[i] - L'a' + L'A' : a[i];
    const wchar_t y = (b[i] >= L'a' && b[i] <= L'z') ? b[i] - L'a' + L'A' : b[i];
    if (x != y) return false;
  }
  return i == a.size() && b[i] == L'\0';
}

bool LinkedSkin(ResourceBytes* out) {
  const unsigned char* begin = vornik_skin_zip_begin;
  const unsigned char* end = vornik_skin_zip_end;
  if (begin == nullptr || end == nullptr || end <= begin) return false;
  out->data = begin;
  out->size = static_cast<std::size_t>(end - begin);
  return true;
}

}  // namespace

bool LoadResourceBytes(const std::wstring& type, int id, ResourceBytes* out) {
  if (out == nullptr) return false;
  if (!EqualsAsciiNoCase(type, L"ZIPRES") || id != kSkinResourceId) return false;
  return LinkedSkin(out);
}

}  // namespace platform
