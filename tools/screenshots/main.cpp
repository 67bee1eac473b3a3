// tools/screenshots --lang NAME --out DIR [--list]
//
// Renders every window and page of the installer in one interface language
// to PNG files, offscreen (no display needed): the main window's settings
// page with the fold-out panel closed and open on each tab, the running page,
// the finished page after success and after failure, the message dialog in
// each of its kinds, and the launch window. NAME is the language as its file
// is named ("english" for language/language_english.xml); "all" renders
// every language. Texts that did not fit their controls (drawn smaller, or
// cut) are listed on standard output, once per window and control.
// Ends with 0 when every picture was written.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "DialogPages.h"
#include "LanguageTexts.h"
#include "Languages.h"
#include "MainWindowPages.h"
#include "platform/Encoding.h"
#include "platform/Resource.h"
#include "uitoolkit/Control.h"
#include "uitoolkit/SkinPackage.h"
#include "uitoolkit/TextLanguage.h"
#include "uitoolkit/TextOverflow.h"
#include "uitoolkit/gtk/OffscreenRenderer.h"

namespace {

struct Options {
  std::string language;
  std::string out;
};

bool ParseOptions(int argc, char** argv, Options* options) {
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--lang") == 0) {
      options->language = argv[i + 1];
    } else if (std::strcmp(argv[i], "--out") == 0) {
      options->out = argv[i + 1];
    } else {
      return false;
    }
  }
  return !options->language.empty() && !options->out.empty() && argc % 2 == 1;
}

void Usage() {
  std::fprintf(stderr, "usage: screenshots --lang NAME|all --out DIR\nNAME is one of:");
  for (const auto& language : screenshots::Languages())
    std::fprintf(stderr, " %s", language.name.c_str());
  std::fprintf(stderr, "\n");
}

// The control's name, or the names up to the nearest named ancestor.
std::string Describe(const ui::Control& control) {
  for (const ui::Control* c = &control; c != nullptr; c = c->GetParent()) {
    if (!c->GetName().empty()) {
      return platform::ToUtf8(c->GetName()) + (c == &control ? "" : " (inside)");
    }
  }
  return platform::ToUtf8(control.GetClass());
}

int RenderLanguage(const screenshots::Language& language, const std::string& out) {
  ui::SetTextLanguage(language.tag);
  const screenshots::LanguageTexts texts(language.name);
  if (!texts.IsLoaded()) {
    std::fprintf(stderr, "screenshots: no language file for %s\n", language.name.c_str());
    return 1;
  }
  std::string current;
  std::set<std::string> overflows;
  ui::SetTextOverflowObserver([&](const ui::Control& control, const std::wstring& text, bool cut) {
    overflows.insert(std::string(cut ? "text cut" : "text drawn smaller") + " in " + current +
                     ": " + Describe(control) + ": " + platform::ToUtf8(text.substr(0, 60)));
  });
  int failures = 0;
  const auto write = [&](const screenshots::Shot& shot) {
    const std::string path = out + "/" + language.name + "_" + shot.name + ".png";
    if (!ui::WritePng(shot.bitmap, path)) {
      std::fprintf(stderr, "screenshots: could not write %s\n", path.c_str());
      ++failures;
      return;
    }
    std::printf("%s\n", path.c_str());
  };
  current = "main window";
  for (const auto& shot : screenshots::RenderMainWindowPages(language, texts)) write(shot);
  current = "dialogs";
  for (const auto& shot : screenshots::RenderDialogPages(texts)) write(shot);
  current = "launch window";
  write(screenshots::RenderLaunchWindow());
  ui::SetTextOverflowObserver(nullptr);
  for (const auto& line : overflows) std::printf("%s: %s\n", language.name.c_str(), line.c_str());
  return failures;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    Usage();
    return 2;
  }
  const screenshots::Language* only = screenshots::FindLanguage(options.language);
  if (only == nullptr && options.language != "all") {
    Usage();
    return 2;
  }
  platform::ResourceBytes package;
  if (!platform::LoadResourceBytes(L"ZIPRES", 138, &package) ||
      !ui::SetResourcePackage(package.data, package.size)) {
    std::fprintf(stderr, "screenshots: the skin package is not linked in\n");
    return 1;
  }
  mkdir(options.out.c_str(), 0755);
  int failures = 0;
  for (const auto& language : screenshots::Languages()) {
    if (only == nullptr || &language == only) failures += RenderLanguage(language, options.out);
  }
  return failures == 0 ? 0 : 1;
}
