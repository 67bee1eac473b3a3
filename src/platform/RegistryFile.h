// The values file of one registry key: its text format and the name
// comparison the store uses. Internal to src/platform/ (Registry.cpp and its
// tests). Pure functions; any thread.
//
// Format (UTF-8, "\n" line ends):
//   VORNIK-REGISTRY-VALUES 1
//   REG_SZ<TAB>name<TAB>data
//   REG_DWORD<TAB>name<TAB>decimal
//   REG_QWORD<TAB>name<TAB>decimal
//   REG_MULTI_SZ<TAB>name[<TAB>item]...
//   END
// Names and texts escape "\" as "\\", tab as "\t", line feed as "\n",
// carriage return as "\r" and U+0000 as "\0". The closing END line makes a
// truncated file detectable.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace platform {
namespace registry_file {

enum class ValueType { kString, kDword, kQword, kMultiString };

struct Value {
  std::wstring name;
  ValueType type = ValueType::kString;
  std::vector<std::wstring> texts;  // one text for kString, the items for kMultiString
  uint64_t number = 0;              // kDword (up to 2^32-1) and kQword
};

// Files larger than this are not read: nothing the program stores comes near.
constexpr std::size_t kMaxFileBytes = 16u << 20;

// False, with *values empty, when content is not a complete, well-formed
// values file: bad header, unknown type, bad escape, number out of range,
// missing END, anything after END, or two values whose names are equal
// under SameName.
bool Parse(const std::string& content, std::vector<Value>* values);
std::string Serialize(const std::vector<Value>& values);

// Registry names compare without regard to case, as on Windows: ASCII,
// Latin-1, Greek and Cyrillic letters fold to one case; other characters
// compare exactly.
bool SameName(const std::wstring& a, const std::wstring& b);
// A key of the form SameName uses, for sorting.
std::wstring FoldName(const std::wstring& name);

}  // namespace registry_file
}  // namespace platform
