// Brace markup of texts with "showhtml": {f n}…{/f} font number n,
// {c #AARRGGBB}…{/c} colour, {a}…{/a} or {a target}…{/a} link, {u}…{/u}
// underline, {n} line break (a following {/n} is ignored), {p}…{/p} paragraph.
// Each kind nests on its own: a closing tag ends the innermost open tag of its
// kind, and one without an open tag of its kind is ignored ("{f 1}abc{/c}{/f}"
// is "abc" in font 1). Anything else in braces (unknown tags, {f x}, a colour
// that does not read, a "{" without "}") stays as literal text.
// Pure functions; any thread.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace ui {

struct TextRun {
  enum class Kind { Text, LineBreak, ParagraphStart, ParagraphEnd };
  Kind kind = Kind::Text;
  std::wstring text;  // Text runs only; never empty there
  int font = -1;      // -1: the control's own font
  uint32_t colour = 0;
  bool hasColour = false;
  bool underline = false;
  int link = -1;  // 0-based number of the {a} in the text, -1 outside links
  std::wstring linkTarget;
};

// Neighbouring texts of the same look are merged into one run.
std::vector<TextRun> ParseTextMarkup(const std::wstring& text);

// The texts of the runs, with "\n" for each line break and paragraph start or end.
std::wstring PlainText(const std::vector<TextRun>& runs);

}  // namespace ui
