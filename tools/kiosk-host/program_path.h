// Where the running program lives: its type library and, by default, the plug-in
// beside it.
#pragma once

#include <filesystem>

// The full path of the running program's file.
std::filesystem::path ProgramPath();
