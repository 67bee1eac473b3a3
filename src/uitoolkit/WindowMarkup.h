// What the markup builder makes of a window file: the window's attributes,
// its fonts and declared pictures, and the control tree. Plain values that own
// their tree; hand them to the UI thread that shows the window.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "uitoolkit/Control.h"
#include "uitoolkit/Values.h"

namespace tinyxml2 {
class XMLElement;
}

namespace ui {

struct WindowAttributes {
  Size size;     // initial client size
  Rect sizeBox;  // resize border
  Rect caption;  // drag area
  Size roundCorner;
  Size minInfo;  // 0 = no limit
  Size maxInfo;  // 0 = no limit
  bool showShadow = false;
  int shadowSize = 0;
  Size shadowPosition;
  int shadowDarkness = 0;
  bool gdiplusText = false;
  bool bkTrans = false;
  uint32_t linkFontColor = 0;
  uint32_t linkHoverFontColor = 0;
  bool hasLinkFontColor = false;
  bool hasLinkHoverFontColor = false;
};

// A font of the window; its number is its position in WindowMarkup::fonts.
struct FontSpec {
  std::wstring name;
  int size = 12;  // also when the markup gives no positive size
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool isDefault = false;
};

struct ImageSpec {
  std::wstring name;
  std::wstring resType;
  uint32_t mask = 0;
  bool hasMask = false;
};

struct WindowMarkup {
  WindowAttributes window;
  std::vector<FontSpec> fonts;
  std::vector<ImageSpec> images;
  std::unique_ptr<Control> root;  // null when the file could not be built
};

// Readers of the attributes of the Window, Font and Image elements; unknown
// attributes (such as a Font's "id") are ignored.
WindowAttributes ReadWindowAttributes(const tinyxml2::XMLElement& element);
FontSpec ReadFontSpec(const tinyxml2::XMLElement& element);
ImageSpec ReadImageSpec(const tinyxml2::XMLElement& element);

}  // namespace ui
