// The fonts the skin names, made real on Linux. The skin asks for Windows
// families ("Microsoft YaHei", "Meiryo UI", "Times New Roman", "batang");
// the mapping in FontSetup.cpp, a fontconfig configuration kept with this
// code and loaded into the process (never into the system's files), sends
// each to installed families that cover Latin, Cyrillic, Arabic, Devanagari,
// Thai and the CJK scripts, with the regional CJK shapes chosen by the text's
// language (Japanese, Korean, traditional and simplified Chinese).
// EnsureFontSetup loads it once, before the first text is laid out; it is
// safe to call again (any thread, serialised). False, logged once, when
// fontconfig refused the configuration (the system's own fallbacks apply).
#pragma once

namespace ui {

bool EnsureFontSetup();

}  // namespace ui
