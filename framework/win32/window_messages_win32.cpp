#include "framework/window_messages.h"

#include "framework/win32/wide_text.h"
#include "windows_api.h"

bool PostWindowMessage(WindowHandle window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
{
    return PostMessageW(window, message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam)) != FALSE;
}

unsigned RegisterWindowMessageName(const char* name)
{
    return RegisterWindowMessageW(Widen(name).c_str());
}
