// The host's main window: a real top-level window of the host's thread, hidden until
// shown. The plug-in's dialogs take it as their owner; their modal loops also serve it,
// so the host needs no message loop of its own.
#pragma once

#include "framework/win32/unique_handle.h"

#include <string>

class MainWindow {
public:
    // Registers the window class and creates the hidden window; throws HostError.
    explicit MainWindow(const std::string& title);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    HWND Handle() const { return window_.Get(); }
    void Show();

private:
    struct WindowTraits {
        using Type = HWND;
        static Type Invalid() noexcept { return nullptr; }
        static void Close(Type window) noexcept { DestroyWindow(window); }
    };

    ATOM windowClass_ = 0;
    UniqueHandle<WindowTraits> window_;
};
