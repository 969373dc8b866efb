#include "framework/win32/screen_picture.h"

#include "framework/exceptions.h"
#include "framework/win32/unique_handle.h"

#include <string>
#include <vector>

namespace {

struct ScreenDcTraits {
    using Type = HDC;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type dc) noexcept { ReleaseDC(nullptr, dc); }
};

struct MemoryDcTraits {
    using Type = HDC;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type dc) noexcept { DeleteDC(dc); }
};

struct BitmapTraits {
    using Type = HBITMAP;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type bitmap) noexcept { DeleteObject(bitmap); }
};

// An object selected into a device context for the scope; the previous one is put
// back at its end (a bitmap must be free of any context to be read).
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~Selection() { SelectObject(dc_, previous_); }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

[[noreturn]] void Fail(unsigned long code, int line)
{
    throw WindowsError(code, __FILE__, line);
}

void WriteAll(HANDLE file, const void* data, DWORD size)
{
    DWORD written = 0;
    if (!WriteFile(file, data, size, &written, nullptr) || written != size)
        Fail(GetLastError(), __LINE__);
}

} // namespace

void SaveScreenPicture(HWND window, const std::filesystem::path& file)
{
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (window != nullptr && !GetWindowRect(window, &area))
        Fail(GetLastError(), __LINE__);
    if (area.right <= area.left || area.bottom <= area.top)
        Fail(ERROR_INVALID_WINDOW_HANDLE, __LINE__); // nothing of it is on the screen
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;

    const UniqueHandle<ScreenDcTraits> screen(GetDC(nullptr));
    if (!screen)
        Fail(GetLastError(), __LINE__);
    const UniqueHandle<MemoryDcTraits> memory(CreateCompatibleDC(screen.Get()));
    const UniqueHandle<BitmapTraits> bitmap(CreateCompatibleBitmap(screen.Get(), width, height));
    if (!memory || !bitmap)
        Fail(GetLastError(), __LINE__);
    {
        const Selection selected(memory.Get(), bitmap.Get());
        if (!BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), area.left, area.top, SRCCOPY))
            Fail(GetLastError(), __LINE__);
    }

    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height; // rows bottom-up, as BMP files keep them
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    const DWORD rowSize = (static_cast<DWORD>(width) * 3 + 3) / 4 * 4;
    std::vector<BYTE> pixels(static_cast<std::size_t>(rowSize) * static_cast<DWORD>(height));
    if (GetDIBits(memory.Get(), bitmap.Get(), 0, static_cast<UINT>(height), pixels.data(),
                  reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS) != height)
        Fail(ERROR_INVALID_DATA, __LINE__);

    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42; // "BM"
    header.bfOffBits = sizeof header + sizeof info;
    header.bfSize = header.bfOffBits + static_cast<DWORD>(pixels.size());

    std::error_code ignored; // a folder that cannot be made shows as the file's failure
    if (file.has_parent_path())
        std::filesystem::create_directories(file.parent_path(), ignored);
    const UniqueHandle<FileHandleTraits> out(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out)
        Fail(GetLastError(), __LINE__);
    WriteAll(out.Get(), &header, sizeof header);
    WriteAll(out.Get(), &info, sizeof info);
    WriteAll(out.Get(), pixels.data(), static_cast<DWORD>(pixels.size()));
}
