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
// executable holds no resource of that kind and id (type names compare
// case-insensitively). The bytes live as long as the process. The only
// resource is the skin package, linked as vornik_skin_zip_begin/_end by the
// vornik_skin object (cmake/SkinPackage.cmake); a binary linked without it
// gets false.
bool LoadResourceBytes(const std::wstring& type, int id, ResourceBytes* out);

}  // namespace platform
