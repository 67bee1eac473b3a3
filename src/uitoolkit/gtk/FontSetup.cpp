#include "uitoolkit/gtk/FontSetup.h"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include <mutex>

#include "Logging.h"

namespace ui {
namespace {

// Regional CJK shapes come first for their languages; the aliases then give
// every script a family that has it. "UI" families keep the line heights of
// Arabic, Devanagari and Thai close to Latin ones, so fixed-height rows fit.
constexpr char kFontConfig[] = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <match target="pattern">
    <test name="lang" compare="contains"><string>ja</string></test>
    <test name="family"><string>Microsoft YaHei</string></test>
    <edit name="family" mode="prepend" binding="strong"><string>Noto Sans CJK JP</string></edit>
  </match>
  <match target="pattern">
    <test name="lang" compare="contains"><string>ko</string></test>
    <test name="family"><string>Microsoft YaHei</string></test>
    <edit name="family" mode="prepend" binding="strong"><string>Noto Sans CJK KR</string></edit>
  </match>
  <match target="pattern">
    <test name="lang" compare="contains"><string>zh-tw</string></test>
    <test name="family"><string>Microsoft YaHei</string></test>
    <edit name="family" mode="prepend" binding="strong"><string>Noto Sans CJK TC</string></edit>
  </match>
  <alias binding="same">
    <family>Microsoft YaHei</family>
    <prefer>
      <family>Noto Sans</family>
      <family>Noto Sans CJK SC</family>
      <family>Noto Sans Arabic UI</family>
      <family>Noto Sans Devanagari UI</family>
      <family>Noto Sans Thai UI</family>
      <family>DejaVu Sans</family>
    </prefer>
  </alias>
  <alias binding="same">
    <family>Meiryo UI</family>
    <prefer>
      <family>Noto Sans CJK JP</family>
      <family>Noto Sans</family>
      <family>DejaVu Sans</family>
    </prefer>
  </alias>
  <alias binding="same">
    <family>Times New Roman</family>
    <prefer>
      <family>Noto Serif</family>
      <family>Noto Naskh Arabic UI</family>
      <family>Noto Serif CJK SC</family>
      <family>DejaVu Serif</family>
    </prefer>
  </alias>
  <alias binding="same">
    <family>batang</family>
    <prefer>
      <family>Noto Serif CJK KR</family>
      <family>Noto Serif</family>
      <family>DejaVu Serif</family>
    </prefer>
  </alias>
  <alias binding="same">
    <family>Arial</family>
    <prefer><family>Noto Sans</family><family>DejaVu Sans</family></prefer>
  </alias>
  <alias binding="same">
    <family>Tahoma</family>
    <prefer><family>Noto Sans</family><family>DejaVu Sans</family></prefer>
  </alias>
  <alias binding="same">
    <family>Segoe UI</family>
    <prefer><family>Noto Sans</family><family>DejaVu Sans</family></prefer>
  </alias>
</fontconfig>
)";

bool LoadMapping() {
  FcConfig* config = FcInitLoadConfigAndFonts();
  if (config == nullptr) {
    LOG(INFO) << " fonts: fontconfig has no configuration";
    return false;
  }
  if (!FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8*>(kFontConfig),
                                      FcTrue)) {
    LOG(INFO) << " fonts: the skin's font mapping was refused; system fallbacks apply";
    FcConfigDestroy(config);
    return false;
  }
  FcConfigSetCurrent(config);  // the current configuration keeps its own reference
  FcConfigDestroy(config);
  // A font map made before this point still holds the old configuration.
  PangoFontMap* map = pango_cairo_font_map_get_default();
  if (PANGO_IS_FC_FONT_MAP(map)) {
    pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(map), FcConfigGetCurrent());
  }
  return true;
}

}  // namespace

bool EnsureFontSetup() {
  static std::once_flag once;
  static bool loaded = false;
  std::call_once(once, [] { loaded = LoadMapping(); });
  return loaded;
}

}  // namespace ui
