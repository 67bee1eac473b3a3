// The interface languages as the screenshot tool names them: by the name in
// their language file ("english" for "language_english.xml"), with what a
// page needs of each (licence control, licence height, text language).
#pragma once
#include <string>
#include <vector>

namespace screenshots {

struct Language {
  std::string name;         // "english", "japanese", ...
  int index;                // position in the language list
  std::wstring licence;     // licence control in the licence holder
  int licenceHeight;        // the licence panel's height without the 170 pixels
  std::string tag;          // text language ("ja", "zh-tw", ...)
  std::wstring bannerFont;  // font of the carousel captions
};

const std::vector<Language>& Languages();
// Null for an unknown name.
const Language* FindLanguage(const std::string& name);

}  // namespace screenshots
