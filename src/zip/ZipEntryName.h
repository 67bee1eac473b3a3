// The name under which a file is kept in an archive, and whether its bytes
// are worth compressing. Pure functions; any thread.
#pragma once
#include <cstddef>
#include <string>

// Longest entry name, in UTF-8 bytes.
constexpr size_t kMaxZipEntryNameBytes = 259;

// The caller's name in UTF-8 with every "\" turned into "/". Empty when the
// name is empty or its UTF-8 form is longer than kMaxZipEntryNameBytes: such
// an entry is not written, since a cut name would name another file.
std::string ZipEntryNameOf(const std::wstring& name);

// True when the entry is stored as it is: its name ends, from its last ".",
// in the extension of a format that is already compressed (".Z", ".zip",
// ".zoo", ".arc", ".lzh", ".arj", ".gz", ".tgz", in any letter case). A name
// without "." is compressed.
bool IsStoredZipEntry(const std::string& entryName);
