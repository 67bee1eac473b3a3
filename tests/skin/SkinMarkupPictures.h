// Every picture a markup file names, found in the raw XML rather than in the
// built controls, so that attributes no control class reads (a button's
// "disableimage", an Image declaration) are seen as well.
// Pure function over a parsed document; any thread. The uses point into the
// document, which must outlive them.
#pragma once
#include <string>
#include <vector>

#include "uitoolkit/Values.h"

namespace tinyxml2 {
class XMLDocument;
class XMLElement;
}  // namespace tinyxml2

namespace skintest {

struct PictureUse {
  const tinyxml2::XMLElement* node;  // the element that names it
  std::string element;               // its tag ("Button", "Default", "Image")
  std::string control;               // its "name" attribute, or the Default's class name
  std::string attribute;             // "bkimage", "thumbhotimage", ...; "name" for an Image
  ui::PictureDescriptor picture;
};

// The uses, in document order: every attribute whose name ends in "image"
// (any letter case) and is not empty, the same inside the value lists of
// Default elements, and the "name" of every Image element.
std::vector<PictureUse> CollectPictureUses(const tinyxml2::XMLDocument& document);

}  // namespace skintest
