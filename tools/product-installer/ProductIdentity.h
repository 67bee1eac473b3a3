// Who the test installer installs: the names the downloader looks for.
#pragma once

namespace product {

constexpr char kName[] = "Vornik Lumaclear";
constexpr char kVersion[] = "1.0.0.0";
constexpr char kPublisher[] = "Vornik";
constexpr char kMainExecutable[] = "LumaclearApp.exe";
// Beside the product: one line per start of LumaclearApp.exe.
constexpr char kStartRecord[] = "LumaclearApp.started";
// The uninstall key a 32-bit installer gets on a 64-bit system; the
// downloader writes its language value into the same key (key names compare
// without regard to case). "{" kName "}_is1" follows it.
constexpr wchar_t kUninstallRoot[] =
    L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

}  // namespace product
