// Pictures of the screen as 24-bit BMP files: the demo's and the UI tests' record of
// what a window showed.
#pragma once

#include "windows_api.h"

#include <filesystem>

// Saves the window's rectangle of the screen (frame included; whatever covers the
// window covers it in the picture too), or the whole screen when `window` is null, as
// a 24-bit BMP file, making missing folders. Throws WindowsError when it cannot.
void SaveScreenPicture(HWND window, const std::filesystem::path& file);
