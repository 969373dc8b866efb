#include "Plugin/Plugin/com/context_help.h"

#include "framework/paths.h"
#include "framework/win32/wide_text.h"

#include <htmlhelp.h>

#include <mutex>

namespace {

using HtmlHelpFunction = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);

// The HTML Help control's registered server, else the system's hhctrl.ocx.
HMODULE LoadHtmlHelpControl()
{
    wchar_t path[MAX_PATH * 2] = {};
    DWORD size = sizeof path;
    const LSTATUS status =
        RegGetValueW(HKEY_CLASSES_ROOT, L"CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32", nullptr,
                     RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ, nullptr, path, &size);
    if (status == ERROR_SUCCESS && path[0] != L'\0') {
        if (HMODULE module = LoadLibraryW(path))
            return module;
    }
    return LoadLibraryW(L"hhctrl.ocx");
}

// Taken once per process; null for the rest of it when the control cannot be had.
// The module stays loaded: popups may still be open when the page goes.
HtmlHelpFunction HtmlHelpEntry()
{
    static std::once_flag once;
    static HtmlHelpFunction entry = nullptr;
    std::call_once(once, [] {
        if (HMODULE module = LoadHtmlHelpControl())
            entry = reinterpret_cast<HtmlHelpFunction>(reinterpret_cast<void*>(GetProcAddress(module, "HtmlHelpW")));
    });
    return entry;
}

} // namespace

std::string HelpFilePath()
{
    return MakePathSpec(GetParentPath(GetModuleFileNameA(OwnModuleHandle()))) + "DispenserPlugin.chm";
}

void ShowContextHelp(HWND control, std::span<const HelpTopic> table)
{
    if (control == nullptr)
        return;
    const int id = GetDlgCtrlID(control);
    for (const HelpTopic& topic : table) {
        if (topic.control == 0 && topic.helpId == 0)
            break;
        if (topic.control != id)
            continue;
        const HtmlHelpFunction htmlHelp = HtmlHelpEntry();
        if (htmlHelp == nullptr)
            return;
        HH_POPUP popup{};
        popup.cbStruct = sizeof popup;
        popup.idString = static_cast<UINT>(topic.helpId);
        popup.pt = {-1, -1};
        popup.clrForeground = static_cast<COLORREF>(-1);
        popup.clrBackground = static_cast<COLORREF>(-1);
        popup.rcMargins = {-1, -1, -1, -1};
        popup.pszFont = L"MS Shell Dlg, 8";
        const std::wstring file = Widen(HelpFilePath());
        htmlHelp(control, file.c_str(), HH_DISPLAY_TEXT_POPUP, reinterpret_cast<DWORD_PTR>(&popup));
        return;
    }
}
