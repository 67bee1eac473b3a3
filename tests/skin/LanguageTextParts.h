// The parts of a language text that the program relies on beyond its wording.
// The window fills "install_label" and "space_free" with swprintf, so every
// '%' of a text is read here as printf reads it; the brace tags are the
// toolkit's text markup. Pure functions; any thread.
#pragma once
#include <string>
#include <vector>

namespace skin_test {

// Every '%' sequence in order, as printf would consume it: "%0.f", "%%", and
// also "% o" in "50% off" (a blank flag and an octal conversion). A '%' that
// starts no complete conversion comes back as "%" and the character printf
// stumbles on (or "%" alone at the end), so it never equals a sound one.
std::vector<std::wstring> PrintfConversions(const std::wstring& text);

// The brace tags in order ("{f 1}", "{/c}", ...). A "{" that no "}" closes
// before the next "{" comes back as "{"; a "}" outside any tag as "}".
std::vector<std::wstring> BraceTags(const std::wstring& text);

}  // namespace skin_test
