#include "MainWindowPages.h"

#include <cwchar>

#include "uitoolkit/Canvas.h"
#include "uitoolkit/Combo.h"
#include "uitoolkit/ImageStore.h"
#include "uitoolkit/MarkupBuilder.h"
#include "uitoolkit/Option.h"
#include "uitoolkit/Progress.h"
#include "uitoolkit/TabLayout.h"
#include "uitoolkit/gtk/OffscreenRenderer.h"

namespace screenshots {
namespace {

constexpr int kWidth = 650;
constexpr int kClosedHeight = 360;
constexpr int kOpenHeight = 560;

std::wstring Format(const std::wstring& format, double value) {
  wchar_t buffer[512];
  if (std::swprintf(buffer, 512, format.c_str(), value) < 0) return format;
  return buffer;
}

class MainWindow {
 public:
  MainWindow(const Language& language, const LanguageTexts& texts)
      : language_(language), texts_(texts), markup_(ui::BuildWindowMarkup(L"InstallMainWnd.xml")) {}

  bool IsBuilt() const { return markup_.root != nullptr; }
  ui::Control* Find(const wchar_t* name) const { return ui::FindControl(markup_.root.get(), name); }

  void Show(const wchar_t* name, bool shown) {
    if (ui::Control* c = Find(name)) c->SetVisible(shown);
  }
  void Select(const wchar_t* tabs, int index) {
    if (auto* tab = dynamic_cast<ui::TabLayout*>(Find(tabs))) tab->SelectItem(index);
  }
  void SetText(const wchar_t* name, const std::wstring& text) {
    if (ui::Control* c = Find(name)) c->SetText(text);
  }

  // What the window's language step does: every install_page text, the
  // licence, the formats filled.
  void ApplyLanguage() {
    ui::Control* section = texts_.Section(L"install_page");
    for (std::size_t i = 0; section != nullptr && i < section->GetCount(); ++i) {
      const ui::Control* label = section->GetItemAt(i);
      const std::wstring& name = label->GetName();
      if (name == L"install_label") progressFormat_ = label->GetText();
      if (name == L"space_free") {
        SetText(L"space_free", Format(label->GetText(), 118.4));
        continue;
      }
      if (name == L"install_label") continue;
      SetText(name.c_str(), label->GetText());
    }
    if (ui::Control* licence = Find(language_.licence.c_str())) {
      SetText(L"license_text", licence->GetText());
      if (ui::Control* layout = Find(L"license_text_layout")) {
        layout->SetFixedHeight(language_.licenceHeight + 170);
      }
    }
    if (auto* combo = dynamic_cast<ui::Combo*>(Find(L"language_combox"))) {
      combo->SelectItem(language_.index);
    }
    SetText(L"install_file_path_edit", L"/opt/Vornik");
    if (auto* box = dynamic_cast<ui::Option*>(Find(L"license_checkbox"))) box->Select(true, false);
    SetProgress(0);
  }

  void SetProgress(int value) {
    SetText(L"install_label", Format(progressFormat_, value));
    if (auto* bar = dynamic_cast<ui::Progress*>(Find(L"install_progress"))) bar->SetValue(value);
  }

  // The carousel's first frame with its caption, registered as the carousel does.
  void PrepareCarousel() {
    ui::BitmapPtr frame = images_.Get(L"skin\\anima\\1.png");
    ui::Canvas canvas(kWidth, 300, 0xFFFFFFFFu);
    if (frame) canvas.DrawBitmap(*frame, 0, 0);
    std::wstring caption = texts_.Get(L"install_page", L"anima_text_1");
    const auto brk = caption.find(L"{n}");
    if (brk != std::wstring::npos) caption.replace(brk, 3, L"\n");
    ui::FontSpec font{language_.bannerFont, 11, true, false, false, false};
    canvas.DrawText(caption, ui::Rect{30, 40, kWidth - 30, 140}, font, 0xFF4A4A4Au,
                    ui::TextAlign::Center, false);
    images_.Add(L"FirstFrame", canvas.TakeBitmap());
    if (ui::Control* area = Find(L"image_play")) area->SetBkImage(ui::ParsePicture(L"FirstFrame"));
  }

  Shot Render(const std::string& name, int height) {
    return Shot{name, ui::RenderWindow(markup_.root.get(), markup_, images_, kWidth, height)};
  }

 private:
  const Language& language_;
  const LanguageTexts& texts_;
  ui::WindowMarkup markup_;
  ui::ImageStore images_;
  std::wstring progressFormat_;
};

}  // namespace

std::vector<Shot> RenderMainWindowPages(const Language& language, const LanguageTexts& texts) {
  std::vector<Shot> shots;
  MainWindow window(language, texts);
  if (!window.IsBuilt()) return shots;
  window.ApplyLanguage();
  window.Show(L"install_setting", true);
  window.Show(L"license_link", true);
  for (const wchar_t* hidden : {L"text_fail_retry", L"text_fail_advice", L"img_warning"}) {
    window.Show(hidden, false);
  }
  window.Select(L"main_tablayout", 0);
  window.Select(L"page_layout", 0);
  shots.push_back(window.Render("main_settings_closed", kClosedHeight));
  window.Select(L"set_layout", 0);
  shots.push_back(window.Render("main_settings_licence", kOpenHeight));
  window.Select(L"set_layout", 1);
  shots.push_back(window.Render("main_settings_options", kOpenHeight));

  window.Select(L"main_tablayout", 1);
  window.Select(L"page_layout", 1);
  window.PrepareCarousel();
  window.SetProgress(42);
  shots.push_back(window.Render("main_running", kClosedHeight));

  window.Select(L"main_tablayout", 0);
  if (ui::Control* page = window.Find(L"backgroudlayout")) {
    page->SetBkImage(ui::ParsePicture(L"skin/backgroud_complete.png"));
  }
  window.SetText(L"start_app", texts.Get(L"install_page", L"start_app"));
  window.Show(L"start_app", true);
  window.Show(L"text_startshortcut", true);
  shots.push_back(window.Render("main_finished_success", kClosedHeight));

  window.SetText(L"start_app", texts.Get(L"install_page", L"retry_btn"));
  for (const wchar_t* shown : {L"text_fail_retry", L"text_fail_advice", L"img_warning"}) {
    window.Show(shown, true);
  }
  window.Show(L"text_startshortcut", false);
  shots.push_back(window.Render("main_finished_failure", kClosedHeight));
  return shots;
}

}  // namespace screenshots
