// The product configuration: what product this downloader installs, under
// which identifiers, from which addresses, and the local test switches.
//
// The values travel in the skin package as "configure/configure.xml", whose
// labels the main window's layout includes into a hidden tab, so after the
// window is built every key is a label control named after it. ProductConfig
// reads those labels; it holds a pointer into the window's control tree and
// must be used on the UI thread while that window lives. The conversion and
// switch functions are free of state and may be called from any thread.
#pragma once
#include <cstdint>
#include <string>

namespace ui {
class Control;
}

class ProductConfig {
 public:
  explicit ProductConfig(ui::Control* root) : root_(root) {}

  // True when the package carries a label named key.
  bool Has(const std::wstring& key) const;
  // The label's text; empty when the label is missing.
  std::wstring Text(const std::wstring& key) const;
  // Decimal value of the label's text (see ToInt32); 0 when missing.
  int32_t Int(const std::wstring& key) const;
  int64_t Int64(const std::wstring& key) const;
  // Longest wait for the product installer: the low 32 bits of the 64-bit
  // value, and 242 when that is 0 (missing, empty or not a number).
  uint32_t InstallTimeoutSeconds() const;

  // Leading blanks skipped, an optional sign, the longest run of digits; no
  // digits gives 0. Out-of-range values saturate, as the C runtime does.
  static int32_t ToInt32(const std::wstring& text);
  static int64_t ToInt64(const std::wstring& text);

  // True when the address is a CDN or service address ("//cdn." or "//dl."
  // anywhere, case-sensitive).
  static bool IsCdnOrServiceUrl(const std::wstring& url);
  static bool IsCdnOrServiceUrl(const std::string& url);

  // The test switches of "mv_downloader.cfg" beside the program, section
  // Settings: set only when the file exists and the key's value is exactly 1.
  // The file is read at every call.
  static bool TestEnv();
  static bool AutoRun();
  static bool CrashTest();
  static std::wstring SwitchFilePath();

  static constexpr uint32_t kDefaultInstallTimeoutSeconds = 242;

 private:
  ui::Control* root_;
};
