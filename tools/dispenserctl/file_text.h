// Reading log and .reg files named by UTF-8 paths, on both platforms.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

std::filesystem::path PathOf(const std::string& utf8Path);

// The bytes of the file from `offset` to its end; nullopt when it cannot be opened.
std::optional<std::string> ReadFileFrom(const std::string& path, std::uint64_t offset = 0);
