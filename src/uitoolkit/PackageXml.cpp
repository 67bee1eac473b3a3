#include "uitoolkit/PackageXml.h"

#include <tinyxml2.h>

#include <vector>

#include "Logging.h"
#include "platform/Encoding.h"
#include "uitoolkit/ResourcePackage.h"
#include "uitoolkit/SkinPackage.h"

namespace ui {
namespace {

std::size_t BomLength(const std::vector<unsigned char>& bytes) {
  const bool bom = bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF;
  return bom ? 3 : 0;
}

}  // namespace

bool LoadPackageXml(const SkinPackage& package, const std::wstring& path,
                    tinyxml2::XMLDocument* doc) {
  doc->Clear();
  std::vector<unsigned char> bytes;
  if (!package.ReadEntry(path, &bytes)) {
    LOG(INFO) << " Skin file missing: " << platform::ToUtf8(path);
    return false;
  }
  const std::size_t skip = BomLength(bytes);
  const tinyxml2::XMLError result =
      bytes.size() > skip
          ? doc->Parse(reinterpret_cast<const char*>(bytes.data()) + skip, bytes.size() - skip)
          : tinyxml2::XML_ERROR_EMPTY_DOCUMENT;
  if (result != tinyxml2::XML_SUCCESS || doc->RootElement() == nullptr) {
    LOG(INFO) << " Skin file malformed: " << platform::ToUtf8(path) << ", "
              << tinyxml2::XMLDocument::ErrorIDToName(result) << " at line " << doc->ErrorLineNum();
    doc->Clear();
    return false;
  }
  return true;
}

bool LoadPackageXml(const std::wstring& path, tinyxml2::XMLDocument* doc) {
  const SkinPackage* package = GetResourcePackage();
  if (package == nullptr) {
    doc->Clear();
    LOG(INFO) << " Skin file " << platform::ToUtf8(path) << ": no skin package loaded";
    return false;
  }
  return LoadPackageXml(*package, path, doc);
}

}  // namespace ui
