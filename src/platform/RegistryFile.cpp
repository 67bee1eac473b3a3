#include "platform/RegistryFile.h"

#include <limits>

#include "platform/Encoding.h"

namespace platform {
namespace registry_file {
namespace {

constexpr char kHeader[] = "VORNIK-REGISTRY-VALUES 1";
constexpr char kTrailer[] = "END";

struct TypeName {
  ValueType type;
  const char* name;
};
constexpr TypeName kTypeNames[] = {{ValueType::kString, "REG_SZ"},
                                   {ValueType::kDword, "REG_DWORD"},
                                   {ValueType::kQword, "REG_QWORD"},
                                   {ValueType::kMultiString, "REG_MULTI_SZ"}};

wchar_t FoldChar(wchar_t c) {
  if (c >= L'A' && c <= L'Z') return c + 32;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;     // Latin-1
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;  // Greek
  if (c >= 0x410 && c <= 0x42F) return c + 32;                // Cyrillic
  if (c >= 0x400 && c <= 0x40F) return c + 80;                // Cyrillic Ѐ..Џ
  return c;
}

std::string Escape(const std::wstring& text) {
  std::string out;
  for (char c : ToUtf8(text)) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\0':
        out += "\\0";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

bool Unescape(const std::string& field, std::wstring* text) {
  std::string bytes;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\') {
      bytes.push_back(field[i]);
      continue;
    }
    if (++i == field.size()) return false;
    switch (field[i]) {
      case '\\':
        bytes.push_back('\\');
        break;
      case 't':
        bytes.push_back('\t');
        break;
      case 'n':
        bytes.push_back('\n');
        break;
      case 'r':
        bytes.push_back('\r');
        break;
      case '0':
        bytes.push_back('\0');
        break;
      default:
        return false;
    }
  }
  *text = FromUtf8(bytes);
  return true;
}

bool ParseNumber(const std::string& field, uint64_t limit, uint64_t* number) {
  if (field.empty() || field.size() > 20) return false;
  uint64_t value = 0;
  for (char c : field) {
    if (c < '0' || c > '9') return false;
    const uint64_t digit = static_cast<uint64_t>(c - '0');
    if (value > (limit - digit) / 10) return false;
    value = value * 10 + digit;
  }
  *number = value;
  return true;
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

bool ParseType(const std::string& field, ValueType* type) {
  for (const TypeName& known : kTypeNames) {
    if (field == known.name) {
      *type = known.type;
      return true;
    }
  }
  return false;
}

bool ParseValueLine(const std::string& line, Value* value) {
  const std::vector<std::string> fields = SplitTabs(line);
  if (fields.size() < 2 || !ParseType(fields[0], &value->type)) return false;
  if (!Unescape(fields[1], &value->name)) return false;
  switch (value->type) {
    case ValueType::kString:
      value->texts.resize(1);
      return fields.size() == 3 && Unescape(fields[2], &value->texts[0]);
    case ValueType::kDword:
      return fields.size() == 3 &&
             ParseNumber(fields[2], std::numeric_limits<uint32_t>::max(), &value->number);
    case ValueType::kQword:
      return fields.size() == 3 &&
             ParseNumber(fields[2], std::numeric_limits<uint64_t>::max(), &value->number);
    case ValueType::kMultiString:
      value->texts.resize(fields.size() - 2);
      for (std::size_t i = 2; i < fields.size(); ++i)
        if (!Unescape(fields[i], &value->texts[i - 2])) return false;
      return true;
  }
  return false;
}

bool IsDuplicate(const std::vector<Value>& values, const std::wstring& name) {
  for (const Value& value : values)
    if (SameName(value.name, name)) return true;
  return false;
}

bool ParseLines(const std::string& content, std::vector<Value>* values) {
  if (content.size() > kMaxFileBytes) return false;
  std::size_t start = 0;
  bool sawHeader = false;
  while (start < content.size()) {
    const std::size_t end = content.find('\n', start);
    if (end == std::string::npos) return false;  // every line, END included, ends in "\n"
    const std::string line = content.substr(start, end - start);
    start = end + 1;
    if (!sawHeader) {
      if (line != kHeader) return false;
      sawHeader = true;
      continue;
    }
    if (line == kTrailer) return start == content.size();
    Value value;
    if (!ParseValueLine(line, &value) || IsDuplicate(*values, value.name)) return false;
    values->push_back(std::move(value));
  }
  return false;
}

std::string SerializeValue(const Value& value) {
  std::string line;
  for (const TypeName& known : kTypeNames)
    if (known.type == value.type) line = known.name;
  line += "\t" + Escape(value.name);
  switch (value.type) {
    case ValueType::kString:
      line += "\t" + Escape(value.texts.empty() ? std::wstring() : value.texts[0]);
      break;
    case ValueType::kDword:
    case ValueType::kQword:
      line += "\t" + std::to_string(value.number);
      break;
    case ValueType::kMultiString:
      for (const std::wstring& item : value.texts) line += "\t" + Escape(item);
      break;
  }
  return line + "\n";
}

}  // namespace

bool Parse(const std::string& content, std::vector<Value>* values) {
  values->clear();
  if (ParseLines(content, values)) return true;
  values->clear();
  return false;
}

std::string Serialize(const std::vector<Value>& values) {
  std::string content = std::string(kHeader) + "\n";
  for (const Value& value : values) content += SerializeValue(value);
  return content + kTrailer + "\n";
}

bool SameName(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (FoldChar(a[i]) != FoldChar(b[i])) return false;
  return true;
}

std::wstring FoldName(const std::wstring& name) {
  std::wstring folded = name;
  for (wchar_t& c : folded) c = FoldChar(c);
  return folded;
}

}  // namespace registry_file
}  // namespace platform
