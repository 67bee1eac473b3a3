// Typed readers for the values of markup attributes.
// Pure functions without state; any thread. None of them throws or fails
// hard: every input, however broken, maps to a defined value, and the readers
// that can meet a plainly wrong text also say so through their result.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace ui {

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

inline bool operator==(const Rect& a, const Rect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline bool operator!=(const Rect& a, const Rect& b) { return !(a == b); }

struct Size {
  int cx = 0;
  int cy = 0;
};

inline bool operator==(const Size& a, const Size& b) { return a.cx == b.cx && a.cy == b.cy; }
inline bool operator!=(const Size& a, const Size& b) { return !(a == b); }

// A picture reference: either a bare path or file='…' source='l,t,r,b'
// corner='l,t,r,b' dest='l,t,r,b' mask='#AARRGGBB'. Paths are kept as
// written (separators and case untouched); the package lookup copes with both.
struct PictureDescriptor {
  std::wstring file;
  Rect source;
  Rect corner;
  Rect dest;
  uint32_t mask = 0;
  bool hasSource = false;
  bool hasCorner = false;
  bool hasDest = false;
  bool hasMask = false;

  bool IsEmpty() const { return file.empty(); }
};

using AttributeList = std::vector<std::pair<std::wstring, std::wstring>>;

// Blanks (space, tab, CR, LF) removed at both ends.
std::wstring TrimBlanks(const std::wstring& text);

// Decimal integer: leading blanks, optional sign, the longest run of digits;
// anything after it is ignored. No digits gives 0; values beyond int are clamped.
int ParseInt(const std::wstring& text);

// "#" and one to eight hexadecimal digits, read as one number AARRGGBB, so
// six digits give alpha 0. Anything else is invalid: false, and *argb is 0.
bool ParseColour(const std::wstring& text, uint32_t* argb);

// "true" (any letter case, blanks around allowed) is true; everything else false.
bool ParseBool(const std::wstring& text);

// Comma-separated decimals; a missing or unreadable number is 0, extra ones are ignored.
Rect ParseRect(const std::wstring& text);
Size ParseSize(const std::wstring& text);

// One number for all four sides, or "l,t,r,b" when the text holds a comma.
Rect ParseBorderSize(const std::wstring& text);

// A bare path, or the key='value' list described above. Unknown keys are
// skipped; an unterminated quote ends the list (the broken pair is dropped).
PictureDescriptor ParsePicture(const std::wstring& text);

// The value of a Default element: name="value" pairs (single quotes also
// delimit a value). Values keep their inner single quotes, so picture lists
// survive. Parsing stops at the first broken pair; the pairs before it stay.
AttributeList ParseAttributeList(const std::wstring& text);

}  // namespace ui
