#include "tests/support/screenshot.h"

#include "framework/exceptions.h"
#include "framework/win32/screen_picture.h"
#include "framework/win32/wide_text.h"

#include <cstdlib>

bool SaveScreen(const std::string& path, HWND window)
{
    try {
        SaveScreenPicture(window, Widen(path));
        return true;
    } catch (const WindowsError&) {
        return false;
    }
}

std::string ArtifactsFolder(const std::string& fallback)
{
    const char* folder = std::getenv("ARTIFACTS_DIR");
    const std::string path = folder != nullptr && *folder != '\0' ? folder : fallback;
    CreateDirectoryW(Widen(path).c_str(), nullptr);
    return path;
}
