// Screenshots for the artifacts of the UI tests (Windows).
#pragma once

#include "windows_api.h"

#include <string>

// Saves the screen as a 24-bit BMP file: the whole screen, or the window's rectangle
// when one is given. False when the file could not be written.
bool SaveScreen(const std::string& path, HWND window = nullptr);

// The folder for artifacts: ARTIFACTS_DIR, else `fallback`; created when missing.
std::string ArtifactsFolder(const std::string& fallback);
