// File paths (UTF-8). Separators are the platform's: "\" and "/" on Windows, "/" on POSIX.
#pragma once

#include "platform_types.h"

#include <string>
#include <string_view>

// The full path of a module; null gives the process's executable.
std::string GetModuleFileNameA(ModuleHandle module);

// The module this code is linked into (the plug-in DLL, or the executable).
ModuleHandle OwnModuleHandle();

// The last component of a path: "C:\a\b.txt" -> "b.txt"; "" for a path ending in a separator.
std::string GetFileName(std::string_view path);

// The directory of a path without trailing separator: "C:\a\b.txt" -> "C:\a";
// a file at a root keeps the root: "C:\b.txt" -> "C:\", "/b" -> "/"; "b.txt" -> "".
std::string GetParentPath(std::string_view path);

// A directory path ready to have a file name appended: the preferred separator is
// added unless the path is empty or already ends in a separator (or, on Windows, is a bare drive "C:").
std::string MakePathSpec(std::string_view path);

bool IsAbsolutePath(std::string_view path);
bool FileExists(std::string_view path);

// Expands %NAME% references to environment variables; unknown names and a lone "%" stay as they are.
std::string ExpEnv(std::string_view text);

// Platform details used by the portable path functions.
bool IsPathSeparator(char c);
char PreferredPathSeparator();
std::string GetEnvironmentText(const std::string& name, bool& found);
