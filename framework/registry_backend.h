// The platform part of RegKey: the Windows registry, or the POSIX hive file.
#pragma once

#include "framework/registry.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

constexpr unsigned kKeySetValue = 0x0002; // KEY_SET_VALUE: the access bit that allows writes

// "\a\\b\" -> "a\b": no leading, trailing or doubled separators; "/" is not a separator.
std::string NormaliseKeyPath(const std::string& path);

RegKey::ImplPointer OpenRegistryKey(RegistryRoot root, const std::string& path, bool create, unsigned access);
RegKey::ImplPointer OpenRegistrySubkey(const RegKey::Impl& parent, const std::string& path, bool create,
                                                 unsigned access);

bool RegistryKeyIsOpen(const RegKey::Impl& key) noexcept;
unsigned RegistryKeyAccess(const RegKey::Impl& key) noexcept;
RegistryRoot RegistryKeyRoot(const RegKey::Impl& key) noexcept;
const std::string& RegistryKeyPath(const RegKey::Impl& key) noexcept;

std::optional<RegData> ReadRegistryValue(const RegKey::Impl& key, const std::string& name);
void WriteRegistryValue(RegKey::Impl& key, const std::string& name, const RegData& data);
void DeleteRegistryValue(RegKey::Impl& key, const std::string& name);
std::vector<std::string> ListRegistryValues(const RegKey::Impl& key);
std::vector<std::string> ListRegistrySubkeys(const RegKey::Impl& key);
void CopyRegistryTree(const RegKey::Impl& source, RegKey::Impl& destination);
void DeleteRegistryTree(RegKey::Impl& key, const std::string& subkey);
bool CreateNewRegistrySubkey(RegKey::Impl& key, const std::string& subkey);
void FlushRegistryKey(RegKey::Impl& key);

// Reads, changes and writes one DWORD under the registry's writer lock.
std::uint32_t UpdateRegistryDword(RegKey::Impl& key, const std::string& name,
                                  const std::function<std::uint32_t(const std::optional<RegData>&)>& change);
