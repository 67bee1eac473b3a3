#include "uitoolkit/MarkupBuilder.h"

#include <tinyxml2.h>

#include <algorithm>

#include "Logging.h"
#include "platform/Encoding.h"
#include "uitoolkit/Container.h"
#include "uitoolkit/ControlFactory.h"
#include "uitoolkit/PackageXml.h"
#include "uitoolkit/ResourcePackage.h"
#include "uitoolkit/ScrollBar.h"
#include "uitoolkit/SkinPackage.h"

namespace ui {
namespace {

std::wstring Wide(const char* text) { return platform::FromUtf8(text == nullptr ? "" : text); }

bool IsDeclarationName(const std::string& name) {
  return name == "Font" || name == "Image" || name == "Default";
}

int IncludeCount(const tinyxml2::XMLElement& element) {
  const char* count = element.Attribute("count");
  return count == nullptr ? 1 : ParseInt(Wide(count));
}

}  // namespace

MarkupBuilder::MarkupBuilder(const SkinPackage& package) : package_(package) {}

void MarkupBuilder::Reset(WindowMarkup* out) {
  out_ = out;
  defaults_.clear();
  includeStack_.clear();
  includedFiles_ = 0;
  unknownLogged_.clear();
}

WindowMarkup MarkupBuilder::BuildWindow(const std::wstring& path) {
  WindowMarkup result;
  Reset(&result);
  tinyxml2::XMLDocument doc;
  if (!LoadPackageXml(package_, path, &doc)) return result;
  const tinyxml2::XMLElement& root = *doc.RootElement();
  if (std::string(root.Name()) == "Window") result.window = ReadWindowAttributes(root);
  auto holder = std::make_unique<Container>();
  includeStack_.push_back(SkinPackage::NormalisePath(path));
  BuildFileRoot(root, *holder);
  result.root = TakeRoot(std::move(holder), path);
  out_ = nullptr;
  return result;
}

std::unique_ptr<Control> MarkupBuilder::BuildTree(const std::wstring& path) {
  return BuildWindow(path).root;
}

std::unique_ptr<Control> MarkupBuilder::TakeRoot(std::unique_ptr<Container> holder,
                                                 const std::wstring& path) {
  if (holder->GetCount() == 1) return holder->TakeAt(0);
  if (holder->GetCount() == 0) {
    LOG(INFO) << " Skin file has no controls: " << platform::ToUtf8(path);
    return nullptr;
  }
  LOG(INFO) << " Skin file " << platform::ToUtf8(path) << " has " << holder->GetCount()
            << " top-level controls; a Container holds them";
  return holder;
}

void MarkupBuilder::BuildFileRoot(const tinyxml2::XMLElement& root, Container& target) {
  ReadRootDeclarations(root);
  std::unique_ptr<Control> control = CreateControl(Wide(root.Name()));
  if (!control) {
    BuildChildren(root, target, true);
    return;
  }
  Configure(*control, root);
  Container* container = target.Add(std::move(control))->AsContainer();
  if (container != nullptr) BuildChildren(root, *container, true);
}

void MarkupBuilder::ReadRootDeclarations(const tinyxml2::XMLElement& root) {
  for (auto* e = root.FirstChildElement(); e != nullptr; e = e->NextSiblingElement()) {
    ReadDeclaration(*e);
  }
}

bool MarkupBuilder::ReadDeclaration(const tinyxml2::XMLElement& element) {
  const std::string name = element.Name();
  if (name == "Font") {
    out_->fonts.push_back(ReadFontSpec(element));
  } else if (name == "Image") {
    out_->images.push_back(ReadImageSpec(element));
  } else if (name == "Default") {
    defaults_[Wide(element.Attribute("name"))] =
        ParseAttributeList(Wide(element.Attribute("value")));
  } else {
    return false;
  }
  return true;
}

void MarkupBuilder::BuildChildren(const tinyxml2::XMLElement& parent, Container& target,
                                  bool declarationsRead) {
  for (auto* e = parent.FirstChildElement(); e != nullptr; e = e->NextSiblingElement()) {
    const std::string name = e->Name();
    if (IsDeclarationName(name)) {
      if (!declarationsRead) ReadDeclaration(*e);
    } else if (name == "Include") {
      BuildInclude(*e, target);
    } else {
      BuildControl(*e, target);
    }
  }
}

void MarkupBuilder::BuildControl(const tinyxml2::XMLElement& element, Container& target) {
  std::unique_ptr<Control> control = CreateControl(Wide(element.Name()));
  if (!control) {
    if (unknownLogged_.insert(element.Name()).second) {
      LOG(INFO) << " Skin element unknown, skipped: " << element.Name();
    }
    return;
  }
  Configure(*control, element);
  Container* container = target.Add(std::move(control))->AsContainer();
  if (container != nullptr) BuildChildren(element, *container, false);
}

void MarkupBuilder::Configure(Control& control, const tinyxml2::XMLElement& element) {
  ApplyDefaults(control);
  for (auto* a = element.FirstAttribute(); a != nullptr; a = a->Next()) {
    control.SetAttribute(Wide(a->Name()), Wide(a->Value()));
  }
  if (Container* container = control.AsContainer()) AttachScrollBars(*container);
}

void MarkupBuilder::ApplyDefaults(Control& control) {
  const auto found = defaults_.find(control.GetClass());
  if (found == defaults_.end()) return;
  for (const auto& [name, value] : found->second) control.SetAttribute(name, value);
}

void MarkupBuilder::AttachScrollBars(Container& container) {
  if (container.WantsVerticalScrollBar() && container.GetVerticalScrollBar() == nullptr) {
    auto bar = std::make_unique<ScrollBar>(false);
    ApplyDefaults(*bar);
    container.SetVerticalScrollBar(std::move(bar));
  }
  if (container.WantsHorizontalScrollBar() && container.GetHorizontalScrollBar() == nullptr) {
    auto bar = std::make_unique<ScrollBar>(true);
    ApplyDefaults(*bar);
    container.SetHorizontalScrollBar(std::move(bar));
  }
}

void MarkupBuilder::BuildInclude(const tinyxml2::XMLElement& element, Container& target) {
  const std::wstring source = TrimBlanks(Wide(element.Attribute("source")));
  if (source.empty()) {
    LOG(INFO) << " Skin Include without source, skipped";
    return;
  }
  int count = IncludeCount(element);
  if (count > kMaxIncludeCount) {
    LOG(INFO) << " Skin Include of " << platform::ToUtf8(source) << " asks for " << count
              << " copies; limited to " << kMaxIncludeCount;
    count = kMaxIncludeCount;
  }
  for (int i = 0; i < count; ++i) {
    if (!IncludeOnce(source, target)) return;
  }
}

bool MarkupBuilder::IncludeOnce(const std::wstring& source, Container& target) {
  const std::string key = SkinPackage::NormalisePath(source);
  const std::string shown = platform::ToUtf8(source);
  if (std::find(includeStack_.begin(), includeStack_.end(), key) != includeStack_.end()) {
    LOG(INFO) << " Skin Include cycle, skipped: " << shown;
    return false;
  }
  if (includeStack_.size() >= kMaxIncludeDepth || includedFiles_ >= kMaxIncludedFiles) {
    LOG(INFO) << " Skin Include too deep or too many, skipped: " << shown;
    return false;
  }
  ++includedFiles_;
  tinyxml2::XMLDocument doc;
  if (!LoadPackageXml(package_, source, &doc)) return false;
  includeStack_.push_back(key);
  BuildFileRoot(*doc.RootElement(), target);
  includeStack_.pop_back();
  return true;
}

WindowMarkup BuildWindowMarkup(const std::wstring& path) {
  const SkinPackage* package = GetResourcePackage();
  if (package == nullptr) {
    LOG(INFO) << " Skin file " << platform::ToUtf8(path) << ": no skin package loaded";
    return WindowMarkup();
  }
  return MarkupBuilder(*package).BuildWindow(path);
}

std::unique_ptr<Control> BuildFreeStandingTree(const std::wstring& path) {
  return BuildWindowMarkup(path).root;
}

}  // namespace ui
