#include "uitoolkit/WindowMarkup.h"

#include <tinyxml2.h>

#include <functional>

#include "platform/Encoding.h"

namespace ui {
namespace {

using AttributeVisitor = std::function<void(const std::string&, const std::wstring&)>;

void ForEachAttribute(const tinyxml2::XMLElement& element, const AttributeVisitor& visit) {
  for (const tinyxml2::XMLAttribute* a = element.FirstAttribute(); a != nullptr; a = a->Next()) {
    visit(a->Name(), platform::FromUtf8(a->Value()));
  }
}

void ReadLinkColour(const std::wstring& value, uint32_t* colour, bool* has) {
  *has = ParseColour(value, colour);
}

bool ReadWindowGeometry(const std::string& name, const std::wstring& value, WindowAttributes* w) {
  if (name == "size") {
    w->size = ParseSize(value);
  } else if (name == "sizebox") {
    w->sizeBox = ParseRect(value);
  } else if (name == "caption") {
    w->caption = ParseRect(value);
  } else if (name == "roundcorner") {
    w->roundCorner = ParseSize(value);
  } else if (name == "mininfo") {
    w->minInfo = ParseSize(value);
  } else if (name == "maxinfo") {
    w->maxInfo = ParseSize(value);
  } else {
    return false;
  }
  return true;
}

void ReadWindowLook(const std::string& name, const std::wstring& value, WindowAttributes* w) {
  if (name == "showshadow") w->showShadow = ParseBool(value);
  if (name == "shadowsize") w->shadowSize = ParseInt(value);
  if (name == "shadowposition") w->shadowPosition = ParseSize(value);
  if (name == "shadowdarkness") w->shadowDarkness = ParseInt(value);
  if (name == "gdiplustext") w->gdiplusText = ParseBool(value);
  if (name == "bktrans") w->bkTrans = ParseBool(value);
  if (name == "linkfontcolor") ReadLinkColour(value, &w->linkFontColor, &w->hasLinkFontColor);
  if (name == "linkhoverfontcolor") {
    ReadLinkColour(value, &w->linkHoverFontColor, &w->hasLinkHoverFontColor);
  }
}

}  // namespace

WindowAttributes ReadWindowAttributes(const tinyxml2::XMLElement& element) {
  WindowAttributes window;
  ForEachAttribute(element, [&window](const std::string& name, const std::wstring& value) {
    if (!ReadWindowGeometry(name, value, &window)) ReadWindowLook(name, value, &window);
  });
  return window;
}

FontSpec ReadFontSpec(const tinyxml2::XMLElement& element) {
  FontSpec font;
  ForEachAttribute(element, [&font](const std::string& name, const std::wstring& value) {
    if (name == "name") font.name = value;
    if (name == "size" && ParseInt(value) > 0) font.size = ParseInt(value);
    if (name == "bold") font.bold = ParseBool(value);
    if (name == "italic") font.italic = ParseBool(value);
    if (name == "underline") font.underline = ParseBool(value);
    if (name == "default") font.isDefault = ParseBool(value);
  });
  return font;
}

ImageSpec ReadImageSpec(const tinyxml2::XMLElement& element) {
  ImageSpec image;
  ForEachAttribute(element, [&image](const std::string& name, const std::wstring& value) {
    if (name == "name") image.name = value;
    if (name == "restype") image.resType = value;
    if (name == "mask") image.hasMask = ParseColour(value, &image.mask);
  });
  return image;
}

}  // namespace ui
