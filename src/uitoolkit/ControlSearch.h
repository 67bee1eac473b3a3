// Finding controls by their "name" in a tree. Read-only walks; call on the
// thread that owns the tree. Hidden controls and unselected tab pages are
// searched like any other.
#pragma once
#include <string>

namespace ui {

class Control;

// The first control named name in document order (the root itself first),
// or null. A null root or an empty name finds nothing.
Control* FindControl(Control* root, const std::wstring& name);

// Looks for name only below the first control named sectionName (as found by
// FindControl); null when the section or the name is missing.
Control* FindControlInSection(Control* root, const std::wstring& sectionName,
                              const std::wstring& name);

}  // namespace ui
