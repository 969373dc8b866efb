#include "tools/kiosk-host/main_window.h"

#include "framework/win32/wide_text.h"
#include "tools/kiosk-host/host_error.h"

namespace {

constexpr wchar_t kClassName[] = L"TallivoxKioskHostWindow";

} // namespace

MainWindow::MainWindow(const std::string& title)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    windowClass.lpszClassName = kClassName;
    windowClass_ = RegisterClassExW(&windowClass);
    if (windowClass_ == 0)
        throw HostError("the main window's class cannot be registered: error " + std::to_string(GetLastError()));

    window_.Reset(CreateWindowExW(0, kClassName, Widen(title).c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 640, 480, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
    if (!window_) {
        const DWORD error = GetLastError();
        UnregisterClassW(kClassName, GetModuleHandleW(nullptr));
        throw HostError("the main window cannot be created: error " + std::to_string(error));
    }
}

MainWindow::~MainWindow()
{
    window_.Reset();
    UnregisterClassW(kClassName, GetModuleHandleW(nullptr));
}

void MainWindow::Show()
{
    ShowWindow(window_.Get(), SW_SHOWNORMAL);
    UpdateWindow(window_.Get());
}
