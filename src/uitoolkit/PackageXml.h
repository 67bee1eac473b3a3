// Parsing one XML file of a skin package.
// Files are UTF-8 and may begin with a byte-order mark and hold comments.
// Any thread, as long as the package stays alive; blocks only for the parse.
#pragma once
#include <string>

namespace tinyxml2 {
class XMLDocument;
}

namespace ui {

class SkinPackage;

// Reads path (separators and letter case as the package lookup allows) from
// package and parses it into *doc. False, with one log line, when the file is
// missing or is not well-formed XML with a root element.
bool LoadPackageXml(const SkinPackage& package, const std::wstring& path,
                    tinyxml2::XMLDocument* doc);

// The same on the current resource package; false (logged) when none is set.
bool LoadPackageXml(const std::wstring& path, tinyxml2::XMLDocument* doc);

}  // namespace ui
