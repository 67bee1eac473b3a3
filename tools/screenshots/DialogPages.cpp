#include "DialogPages.h"

#include <cstdio>

#include "uitoolkit/ImageStore.h"
#include "uitoolkit/MarkupBuilder.h"
#include "uitoolkit/gtk/OffscreenRenderer.h"

namespace screenshots {
namespace {

struct Kind {
  bool help;  // the question icon, else the exclamation mark
  const wchar_t* describe;
  const wchar_t* question;
  const wchar_t* yes;
  const wchar_t* no;
  bool noShown;
};

// The texts per dialog kind; kind 1 sets none, kind 5 keeps its layout's own.
const Kind kKinds[16] = {
    {true, L"ReplaceDesText", L"ReplaceQueText", L"ReplaceText", L"CancelText", true},
    {false, nullptr, nullptr, nullptr, nullptr, true},
    {true, L"CancelDesText", L"CancelQueText", L"YesText", L"NoText", true},
    {true, L"AppExistDesText", L"AppExistQueText", L"OkButtonText", L"NoText", false},
    {false, L"PathErrorDesText", L"", L"OkButtonText", L"", false},
    {true, nullptr, nullptr, nullptr, nullptr, true},
    {false, L"InstallRunTimeOutDesText", L"InstallRunTimeOutQueText", L"ConfirmText", L"CancelText",
     false},
    {false, L"MD5FailDesText", L"MD5FailQueText", L"ConfirmText", L"CancelText", false},
    {false, L"UrlFailDexText", L"UrlFailQueText", L"ConfirmText", L"CancelText", false},
    {false, L"InternetFailDesText", L"InternetFailQueText", L"ConfirmText", L"CancelText", false},
    {false, L"InternetTimeoutDesText", L"InternetTimeoutQueText", L"ConfirmText", L"CancelText",
     false},
    {false, L"NoEnoughSpaceDesText", L"", L"OkButtonText", L"", false},
    {false, L"ClickShortcutToLaunchText", L"", L"ConfirmText", L"", false},
    {false, L"NotSupportSystemDesText", L"", L"OkButtonText", L"", false},
    {false, L"AgreeDesText", L"", L"AgreeInstallText", L"NotAgreeText", true},
    {false, L"SuggestSSDText", L"", L"AcceptText", L"RejectText", true},
};

std::wstring Text(const LanguageTexts& texts, const wchar_t* key) {
  return key == nullptr || *key == 0 ? std::wstring() : texts.Get(L"message_page", key);
}

void SetText(ui::WindowMarkup& markup, const wchar_t* name, const std::wstring& text) {
  if (ui::Control* c = ui::FindControl(markup.root.get(), name)) c->SetText(text);
}

Shot RenderKind(int kind, const LanguageTexts& texts) {
  const Kind& k = kKinds[kind];
  ui::WindowMarkup markup =
      ui::BuildWindowMarkup(kind == 5 ? L"MessageBox_down.xml" : L"MessageBox.xml");
  char name[32];
  std::snprintf(name, sizeof name, "dialog_%02d", kind);
  if (!markup.root) return Shot{name, ui::Bitmap()};
  if (k.describe != nullptr) {
    std::wstring describe = Text(texts, k.describe);
    for (auto at = describe.find(L"**1**"); kind == 15 && at != std::wstring::npos;
         at = describe.find(L"**1**")) {
      // The drive is isolated as left-to-right text, or a right-to-left
      // sentence would move its slashes around.
      describe.replace(at, 5, L"\u2066/mnt/ssd\u2069");
    }
    SetText(markup, L"msg_describe", describe);
    SetText(markup, L"msg_question", Text(texts, k.question));
    SetText(markup, L"btn_yes", Text(texts, k.yes));
    SetText(markup, L"btn_no", Text(texts, k.no));
    if (ui::Control* icon = ui::FindControl(markup.root.get(), L"iconimage")) {
      icon->SetBkImage(
          ui::ParsePicture(k.help ? L"skin\\message_help.png" : L"skin\\message_exclamation.png"));
    }
  } else if (kind == 1) {
    SetText(markup, L"btn_yes", L"");
    SetText(markup, L"btn_no", L"");
  }
  if (!k.noShown) {
    if (ui::Control* no = ui::FindControl(markup.root.get(), L"btn_no")) no->SetVisible(false);
  }
  ui::ImageStore images;
  const ui::Size size = markup.window.size;
  return Shot{name, ui::RenderWindow(markup.root.get(), markup, images, size.cx, size.cy)};
}

}  // namespace

std::vector<Shot> RenderDialogPages(const LanguageTexts& texts) {
  std::vector<Shot> shots;
  for (int kind = 0; kind < 16; ++kind) shots.push_back(RenderKind(kind, texts));
  return shots;
}

Shot RenderLaunchWindow() {
  ui::WindowMarkup markup = ui::BuildWindowMarkup(L"transWnd.xml");
  if (!markup.root) return Shot{"launch", ui::Bitmap()};
  if (ui::Control* fore = ui::FindControl(markup.root.get(), L"foreImage")) {
    fore->SetBkImage(ui::ParsePicture(L"skin/gif/bg07.png"));
  }
  ui::ImageStore images;
  const ui::Size size = markup.window.size;
  return Shot{"launch", ui::RenderWindow(markup.root.get(), markup, images, size.cx, size.cy)};
}

}  // namespace screenshots
