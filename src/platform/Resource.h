// Resources linked into the executable (the skin package is "ZIPRES" 138).
#pragma once
#include <cstddef>
#include <string>

namespace platform {

struct ResourceBytes {
  const unsigned char* data = nullptr;
  std::size_t size = 0;
};

// FindResource/LoadResource/SizeofResource/LockResource in one: false when the
// executable holds no resource of that kind and id. The bytes live as long as the process.
bool LoadResourceBytes(const std::wstring& type, int id, ResourceBytes* out);

}  // namespace platform
