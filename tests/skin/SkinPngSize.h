// The size of a PNG picture from its header, without decoding it. Pure function; any thread.
#pragma once
#include <vector>

namespace skintest {

struct PngSize {
  int width = 0;
  int height = 0;
};

// True with *size filled when bytes start with the PNG signature and a
// well-formed IHDR chunk of a non-empty picture; false for anything else
// (another format, a truncated header, a zero or oversized dimension).
bool ReadPngSize(const std::vector<unsigned char>& bytes, PngSize* size);

}  // namespace skintest
