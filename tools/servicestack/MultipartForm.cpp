#include "MultipartForm.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "HttpText.h"

namespace demoservices {
namespace {

using localserver::EqualsNoCase;
using localserver::TrimBlanks;

constexpr size_t kMaxBoundary = 70;
constexpr char kLineEnd[] = "\r\n";

std::string Lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// A header value "type; a=1; b=\"two \\\" words\"": the type, and the
// parameters by lowercase name. A quoted value keeps what its backslashes
// escape. A parameter without "=" is skipped.
struct HeaderValue {
  std::string type;
  std::map<std::string, std::string> parameters;
};

// Reads one parameter value from text at *at, up to the next ";" outside
// quotes; moves *at past it.
std::string ReadParameterValue(const std::string& text, size_t* at) {
  size_t i = *at;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  std::string value;
  if (i < text.size() && text[i] == '"') {
    for (++i; i < text.size() && text[i] != '"'; ++i) {
      if (text[i] == '\\' && i + 1 < text.size()) ++i;
      value += text[i];
    }
    const size_t semicolon = text.find(';', i);
    *at = semicolon == std::string::npos ? text.size() : semicolon;
    return value;
  }
  const size_t semicolon = text.find(';', i);
  *at = semicolon == std::string::npos ? text.size() : semicolon;
  return TrimBlanks(text.substr(i, *at - i));
}

HeaderValue ParseHeaderValue(const std::string& text) {
  HeaderValue value;
  size_t at = text.find(';');
  value.type = Lowered(TrimBlanks(text.substr(0, at)));
  while (at < text.size()) {
    ++at;  // past ";"
    const size_t equals = text.find('=', at);
    const size_t semicolon = text.find(';', at);
    if (equals == std::string::npos || (semicolon != std::string::npos && semicolon < equals)) {
      at = semicolon == std::string::npos ? text.size() : semicolon;
      continue;
    }
    const std::string name = Lowered(TrimBlanks(text.substr(at, equals - at)));
    at = equals + 1;
    value.parameters[name] = ReadParameterValue(text, &at);
  }
  return value;
}

bool ParseHeaderLine(const std::string& line, FormPart* part, bool* named) {
  const size_t colon = line.find(':');
  if (colon == std::string::npos) return false;
  const std::string name = TrimBlanks(line.substr(0, colon));
  const std::string text = TrimBlanks(line.substr(colon + 1));
  if (EqualsNoCase(name, "Content-Type")) {
    part->contentType = text;
  } else if (EqualsNoCase(name, "Content-Disposition")) {
    const HeaderValue disposition = ParseHeaderValue(text);
    const auto nameParameter = disposition.parameters.find("name");
    if (disposition.type != "form-data" || nameParameter == disposition.parameters.end()) {
      return false;
    }
    part->name = nameParameter->second;
    const auto fileName = disposition.parameters.find("filename");
    part->hasFileName = fileName != disposition.parameters.end();
    part->fileName = part->hasFileName ? fileName->second : std::string();
    *named = true;
  }
  return true;
}

// One part between two delimiters: head lines, an empty line, the body.
bool ParsePart(const std::string& text, FormPart* part) {
  size_t headEnd = 0;
  if (text.compare(0, 2, kLineEnd) != 0) {
    headEnd = text.find("\r\n\r\n");
    if (headEnd == std::string::npos) return false;
    headEnd += 2;  // keeps the last head line's CRLF with the head
  }
  bool named = false;
  for (size_t at = 0; at < headEnd;) {
    const size_t end = text.find(kLineEnd, at);
    if (!ParseHeaderLine(text.substr(at, end - at), part, &named)) return false;
    at = end + 2;
  }
  part->body = text.substr(headEnd + 2);
  return named;
}

// Past a delimiter's transport padding and CRLF; npos when the line goes on.
size_t AfterDelimiterLine(const std::string& body, size_t at) {
  while (at < body.size() && (body[at] == ' ' || body[at] == '\t')) ++at;
  return body.compare(at, 2, kLineEnd) == 0 ? at + 2 : std::string::npos;
}

}  // namespace

std::string BoundaryOf(const std::string& contentType) {
  const HeaderValue value = ParseHeaderValue(contentType);
  const auto boundary = value.parameters.find("boundary");
  if (value.type != "multipart/form-data" || boundary == value.parameters.end() ||
      boundary->second.empty() || boundary->second.size() > kMaxBoundary) {
    return std::string();
  }
  return boundary->second;
}

bool ParseMultipartForm(const std::string& contentType, const std::string& body,
                        std::vector<FormPart>* parts) {
  parts->clear();
  const std::string boundary = BoundaryOf(contentType);
  if (boundary.empty()) return false;
  const std::string delimiter = "--" + boundary;
  const std::string innerDelimiter = kLineEnd + delimiter;
  size_t at = 0;
  if (body.compare(0, delimiter.size(), delimiter) != 0) {
    at = body.find(innerDelimiter);
    if (at == std::string::npos) return false;
    at += 2;
  }
  for (;;) {
    const size_t after = at + delimiter.size();
    if (body.compare(after, 2, "--") == 0) return true;
    const size_t partStart = AfterDelimiterLine(body, after);
    if (partStart == std::string::npos) return false;
    const size_t next = body.find(innerDelimiter, partStart);
    if (next == std::string::npos) return false;
    FormPart part;
    if (!ParsePart(body.substr(partStart, next - partStart), &part)) return false;
    parts->push_back(std::move(part));
    at = next + 2;
  }
}

}  // namespace demoservices
