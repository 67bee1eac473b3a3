// The process-wide current skin package, which windows build their markup from.
//
// SetResourcePackage opens data[0..size) (not copied: the caller keeps the
// bytes alive for the rest of the process; the embedded resource does) and
// makes it current. On failure it logs once, returns false and leaves the
// previous current package (or none) in place.
// GetResourcePackage returns the current package, or null before the first
// successful SetResourcePackage.
// Threads: any thread may call either. A pointer returned stays valid for the
// life of the process: a replaced package is retired, never destroyed, so a
// reader that still holds it is safe (replacement is rare: start-up and tests).
#pragma once
#include <cstddef>

namespace ui {

class SkinPackage;

bool SetResourcePackage(const void* data, std::size_t size);
const SkinPackage* GetResourcePackage();

}  // namespace ui
