#include "uitoolkit/TextMarkup.h"

#include "uitoolkit/Values.h"

namespace ui {
namespace {

struct Link {
  int number;
  std::wstring target;
};

bool IsDigits(const std::wstring& text) {
  if (text.empty()) return false;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
  }
  return true;
}

class MarkupParser {
 public:
  std::vector<TextRun> Parse(const std::wstring& text);

 private:
  void AddText(const std::wstring& text);
  void AddMarker(TextRun::Kind kind);
  bool ApplyTag(const std::wstring& tag);
  bool OpenTag(const std::wstring& name, const std::wstring& argument);
  bool CloseTag(const std::wstring& name);
  TextRun CurrentLook() const;

  std::vector<TextRun> runs_;
  std::vector<int> fonts_;
  std::vector<uint32_t> colours_;
  std::vector<Link> links_;
  int underlines_ = 0;
  int paragraphs_ = 0;
  int nextLink_ = 0;
};

std::vector<TextRun> MarkupParser::Parse(const std::wstring& text) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    const auto open = text.find(L'{', pos);
    if (open == std::wstring::npos) break;
    AddText(text.substr(pos, open - pos));
    const auto close = text.find_first_of(L"{}", open + 1);
    if (close == std::wstring::npos || text[close] == L'{') {
      AddText(L"{");  // a brace that opens no tag is just a character
      pos = open + 1;
      continue;
    }
    const std::wstring tag = text.substr(open + 1, close - open - 1);
    if (!ApplyTag(tag)) AddText(text.substr(open, close - open + 1));
    pos = close + 1;
  }
  if (pos < text.size()) AddText(text.substr(pos));
  return std::move(runs_);
}

bool MarkupParser::ApplyTag(const std::wstring& tag) {
  if (!tag.empty() && tag[0] == L'/') return CloseTag(TrimBlanks(tag.substr(1)));
  const auto blank = tag.find(L' ');
  const std::wstring name = tag.substr(0, blank);
  const std::wstring argument = blank == std::wstring::npos ? L"" : TrimBlanks(tag.substr(blank));
  return OpenTag(name, argument);
}

bool MarkupParser::OpenTag(const std::wstring& name, const std::wstring& argument) {
  uint32_t colour = 0;
  if (name == L"f" && IsDigits(argument)) {
    fonts_.push_back(ParseInt(argument));
  } else if (name == L"c" && ParseColour(argument, &colour)) {
    colours_.push_back(colour);
  } else if (name == L"a") {
    links_.push_back(Link{nextLink_++, argument});
  } else if (name == L"u" && argument.empty()) {
    ++underlines_;
  } else if (name == L"n" && argument.empty()) {
    AddMarker(TextRun::Kind::LineBreak);
  } else if (name == L"p" && argument.empty()) {
    ++paragraphs_;
    AddMarker(TextRun::Kind::ParagraphStart);
  } else {
    return false;
  }
  return true;
}

bool MarkupParser::CloseTag(const std::wstring& name) {
  if (name == L"f") {
    if (!fonts_.empty()) fonts_.pop_back();
  } else if (name == L"c") {
    if (!colours_.empty()) colours_.pop_back();
  } else if (name == L"a") {
    if (!links_.empty()) links_.pop_back();
  } else if (name == L"u") {
    if (underlines_ > 0) --underlines_;
  } else if (name == L"p") {
    if (paragraphs_ > 0) {
      --paragraphs_;
      AddMarker(TextRun::Kind::ParagraphEnd);
    }
  } else if (name != L"n") {
    return false;
  }
  return true;
}

TextRun MarkupParser::CurrentLook() const {
  TextRun run;
  if (!fonts_.empty()) run.font = fonts_.back();
  if (!colours_.empty()) {
    run.colour = colours_.back();
    run.hasColour = true;
  }
  run.underline = underlines_ > 0;
  if (!links_.empty()) {
    run.link = links_.back().number;
    run.linkTarget = links_.back().target;
  }
  return run;
}

bool SameLook(const TextRun& a, const TextRun& b) {
  return a.kind == b.kind && a.font == b.font && a.hasColour == b.hasColour &&
         a.colour == b.colour && a.underline == b.underline && a.link == b.link;
}

void MarkupParser::AddText(const std::wstring& text) {
  if (text.empty()) return;
  TextRun run = CurrentLook();
  if (!runs_.empty() && SameLook(runs_.back(), run)) {
    runs_.back().text += text;
    return;
  }
  run.text = text;
  runs_.push_back(std::move(run));
}

void MarkupParser::AddMarker(TextRun::Kind kind) {
  TextRun run = CurrentLook();
  run.kind = kind;
  runs_.push_back(std::move(run));
}

}  // namespace

std::vector<TextRun> ParseTextMarkup(const std::wstring& text) {
  return MarkupParser().Parse(text);
}

std::wstring PlainText(const std::vector<TextRun>& runs) {
  std::wstring plain;
  for (const TextRun& run : runs) plain += run.kind == TextRun::Kind::Text ? run.text : L"\n";
  return plain;
}

}  // namespace ui
