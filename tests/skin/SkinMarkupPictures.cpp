#include "SkinMarkupPictures.h"

#include <tinyxml2.h>

#include <algorithm>
#include <cctype>

#include "platform/Encoding.h"

namespace skintest {
namespace {

bool NamesPicture(std::string attribute) {
  std::transform(attribute.begin(), attribute.end(), attribute.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const std::string suffix = "image";
  return attribute.size() >= suffix.size() &&
         attribute.compare(attribute.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void AddUse(const tinyxml2::XMLElement& node, const std::string& control,
            const std::string& attribute, const std::wstring& value,
            std::vector<PictureUse>* uses) {
  if (ui::TrimBlanks(value).empty()) return;
  uses->push_back({&node, node.Name(), control, attribute, ui::ParsePicture(value)});
}

std::string AttributeText(const tinyxml2::XMLElement& element, const char* name) {
  const char* value = element.Attribute(name);
  return value != nullptr ? value : "";
}

void CollectDefaults(const tinyxml2::XMLElement& element, std::vector<PictureUse>* uses) {
  const std::string control = AttributeText(element, "name");
  const ui::AttributeList list =
      ui::ParseAttributeList(platform::FromUtf8(AttributeText(element, "value")));
  for (const auto& pair : list) {
    const std::string attribute = platform::ToUtf8(pair.first);
    if (NamesPicture(attribute)) AddUse(element, control, attribute, pair.second, uses);
  }
}

void CollectElement(const tinyxml2::XMLElement& element, std::vector<PictureUse>* uses) {
  const std::string tag = element.Name();
  const std::string control = AttributeText(element, "name");
  if (tag == "Default") {
    CollectDefaults(element, uses);
  } else if (tag == "Image") {
    AddUse(element, control, "name", platform::FromUtf8(control), uses);
  } else {
    for (const tinyxml2::XMLAttribute* a = element.FirstAttribute(); a != nullptr; a = a->Next()) {
      if (NamesPicture(a->Name())) {
        AddUse(element, control, a->Name(), platform::FromUtf8(a->Value()), uses);
      }
    }
  }
  for (const tinyxml2::XMLElement* child = element.FirstChildElement(); child != nullptr;
       child = child->NextSiblingElement()) {
    CollectElement(*child, uses);
  }
}

}  // namespace

std::vector<PictureUse> CollectPictureUses(const tinyxml2::XMLDocument& document) {
  std::vector<PictureUse> uses;
  if (const tinyxml2::XMLElement* root = document.RootElement()) CollectElement(*root, &uses);
  return uses;
}

}  // namespace skintest
