// Builds control trees from the XML files of a skin package.
//
// A file's root is either a Window (or any element that is no control, such
// as the ScrollbarConfig of "scrollbar.xml"), whose children are read, or a
// control element, which becomes a control itself. The root's direct
// children Font, Image and Default are read before its controls; such
// elements found deeper are read where they stand.
// - Fonts are numbered by their position in the whole build (ids written in
//   the file are ignored); Images are collected in order.
// - A Default list (name = control class, value = name="value" pairs) applies
//   to every control of that class created after it, before the control's own
//   attributes, and to the scroll bars that containers ask for.
// - Include source="file" count="n" builds the other file in place, n times
//   (default 1, at most kMaxIncludeCount, none when n < 1); its controls
//   become children of the element holding it.
//   An include that would repeat a file already being included (a cycle),
//   exceeds kMaxIncludeDepth nesting levels or kMaxIncludedFiles files per
//   build, or names a missing or malformed file is skipped with a log line;
//   the rest of the tree is still built.
// - Unknown elements are skipped with their subtrees (logged once per name);
//   unknown attributes are dropped.
// Result: the tree's root is the one top-level control of the file; when the
// file has several, a plain Container holding them all; null when the file is
// missing, malformed or has no controls (logged once).
//
// Threads: a builder is used by one thread at a time; several builders may
// read the same package at once. Blocks only while parsing. The package must
// outlive the builder; the trees built own themselves.
#pragma once
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

// Callers that build a tree usually search it or read a file raw; one include serves them.
#include "uitoolkit/ControlSearch.h"
#include "uitoolkit/PackageXml.h"
#include "uitoolkit/WindowMarkup.h"

namespace tinyxml2 {
class XMLElement;
}

namespace ui {

class Container;
class SkinPackage;

class MarkupBuilder {
 public:
  static constexpr std::size_t kMaxIncludeDepth = 16;
  static constexpr int kMaxIncludedFiles = 256;
  static constexpr int kMaxIncludeCount = 64;

  explicit MarkupBuilder(const SkinPackage& package);

  WindowMarkup BuildWindow(const std::wstring& path);
  // The control tree of any package file (language files, pieces); fonts,
  // images and window attributes are read and dropped.
  std::unique_ptr<Control> BuildTree(const std::wstring& path);

 private:
  void Reset(WindowMarkup* out);
  void BuildFileRoot(const tinyxml2::XMLElement& root, Container& target);
  void ReadRootDeclarations(const tinyxml2::XMLElement& root);
  bool ReadDeclaration(const tinyxml2::XMLElement& element);
  void BuildChildren(const tinyxml2::XMLElement& parent, Container& target, bool declarationsRead);
  void BuildControl(const tinyxml2::XMLElement& element, Container& target);
  void Configure(Control& control, const tinyxml2::XMLElement& element);
  void ApplyDefaults(Control& control);
  void AttachScrollBars(Container& container);
  void BuildInclude(const tinyxml2::XMLElement& element, Container& target);
  bool IncludeOnce(const std::wstring& source, Container& target);
  std::unique_ptr<Control> TakeRoot(std::unique_ptr<Container> holder, const std::wstring& path);

  const SkinPackage& package_;
  WindowMarkup* out_ = nullptr;
  std::map<std::wstring, AttributeList> defaults_;
  std::vector<std::string> includeStack_;
  int includedFiles_ = 0;
  std::set<std::string> unknownLogged_;
};

// The same on the current resource package (see ResourcePackage.h); an empty
// result, logged, when no package is set.
WindowMarkup BuildWindowMarkup(const std::wstring& path);
std::unique_ptr<Control> BuildFreeStandingTree(const std::wstring& path);

}  // namespace ui
