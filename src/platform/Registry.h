// The registry: a file-backed store with the Windows registry's shape.
//
// Layout: one folder per hive under a root folder, $VORNIK_REGISTRY_ROOT when
// set (tests set it), else /var/lib/vornik/registry for HKEY_LOCAL_MACHINE and
// $HOME/.config/vornik/registry for HKEY_CURRENT_USER; the hive folders are
// named "HKEY_LOCAL_MACHINE" and "HKEY_CURRENT_USER". A key is a folder (its
// name spelt as first created), its values live in the file ".reg-values"
// inside it (format in RegistryFile.h) and ".reg-lock" beside that file
// serialises writers. Writing HKEY_LOCAL_MACHINE needs write access to its
// folder, as it needs administrator rights on Windows; reading does not.
//
// Key paths use "\" between names, as on Windows ("SOFTWARE\\Merovalent").
// Key and value names compare case-insensitively (RegistryFile.h: SameName);
// a key or value keeps the spelling it was created with. A single trailing
// "\" is ignored. Refused (every call fails): empty names inside the path,
// "." and "..", names holding "/" or U+0000, and names starting with ".reg-"
// (the store's own files). The empty path is the hive itself. Folders that
// are symbolic links are not keys. There is one view: the 32-bit and 64-bit
// views of Windows are the same store here.
//
// Any thread, any process. A write holds an exclusive flock on the key's lock
// file while it reads, changes and atomically replaces the values file
// (temporary file, fsync, rename), so concurrent writers of one key, in this
// or other processes, never lose each other's values. Readers take no lock
// and see either the old or the new file. A values file that is not well
// formed (hostile, truncated, too large) reads as "no values"; the next write
// to that key replaces it. Calls never throw; results are true on success.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

enum RegHive { HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER };

// RegOpenKeyEx stand-in: true when the key exists.
bool RegKeyExists(RegHive hive, const std::wstring& key);
// RegCreateKeyEx stand-in: creates the key and every missing parent; true
// when it exists afterwards.
bool RegCreateKey(RegHive hive, const std::wstring& key);
// Names of the key's subkeys, sorted case-insensitively. False when the key
// does not exist.
bool RegEnumSubKeys(RegHive hive, const std::wstring& key, std::vector<std::wstring>* names);

// Reads fail when the key or value is missing or the value has another type.
bool RegQueryString(RegHive hive, const std::wstring& key, const std::wstring& value,
                    std::wstring* data);
bool RegQueryDword(RegHive hive, const std::wstring& key, const std::wstring& value,
                   uint32_t* data);
bool RegQueryQword(RegHive hive, const std::wstring& key, const std::wstring& value,
                   uint64_t* data);
bool RegQueryMultiString(RegHive hive, const std::wstring& key, const std::wstring& value,
                         std::vector<std::wstring>* data);

// Writes create the key path as needed and replace a value of the same name
// whatever its type. The empty value name is the key's default value.
bool RegSetString(RegHive hive, const std::wstring& key, const std::wstring& value,
                  const std::wstring& data);
bool RegSetDword(RegHive hive, const std::wstring& key, const std::wstring& value, uint32_t data);
bool RegSetQword(RegHive hive, const std::wstring& key, const std::wstring& value, uint64_t data);
bool RegSetMultiString(RegHive hive, const std::wstring& key, const std::wstring& value,
                       const std::vector<std::wstring>& data);

// False when the key or value is missing.
bool RegDeleteValue(RegHive hive, const std::wstring& key, const std::wstring& value);
// Deletes the key with its values and all its subkeys. False when the key is
// missing, for the hive itself, or when something could not be removed (for
// example a value another process wrote into the key meanwhile).
bool RegDeleteKeyTree(RegHive hive, const std::wstring& key);

}  // namespace platform
