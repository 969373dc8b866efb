#include "framework/app_log.h"

#include "framework/win32/wide_text.h"
#include "windows_api.h"

#include <richedit.h>

namespace {

COLORREF CategoryColour(int category)
{
    switch (category) {
    case AppLog::Positive:
        return RGB(0, 110, 0);
    case AppLog::Warning:
        return RGB(160, 90, 0);
    case AppLog::Error:
        return RGB(200, 0, 0);
    case AppLog::Trace:
        return RGB(96, 96, 96);
    default:
        return RGB(0, 0, 0);
    }
}

} // namespace

// Appends the records at the end of a rich-edit control. The control is an ANSI
// window: text goes in through EM_SETTEXTEX with code page 1200 (UTF-16), so
// Russian survives on any system code page.
void DeliverLogEntries(WindowHandle window, const std::vector<AppLogEntry>& entries)
{
    // A control on screen is drawn once for the whole batch, not once for each line and its
    // colour. One not on screen draws nothing anyway, and is left alone: turning its drawing
    // back on would show it.
    const bool onScreen = IsWindowVisible(window) != FALSE;
    if (onScreen)
        SendMessageW(window, WM_SETREDRAW, FALSE, 0);
    for (const AppLogEntry& entry : entries) {
        GETTEXTLENGTHEX length{GTL_NUMCHARS | GTL_PRECISE, 1200};
        const auto end = static_cast<LONG>(SendMessageW(window, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0));
        CHARRANGE range{end, end};
        SendMessageW(window, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));

        CHARFORMAT2W format{};
        format.cbSize = sizeof format;
        format.dwMask = CFM_COLOR;
        format.crTextColor = CategoryColour(entry.category);
        SendMessageW(window, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));

        const std::wstring text = Widen(entry.text + "\r\n");
        SETTEXTEX setText{ST_SELECTION, 1200};
        SendMessageW(window, EM_SETTEXTEX, reinterpret_cast<WPARAM>(&setText), reinterpret_cast<LPARAM>(text.c_str()));
    }
    SendMessageW(window, EM_SCROLLCARET, 0, 0);
    if (onScreen) {
        SendMessageW(window, WM_SETREDRAW, TRUE, 0);
        // The scroll bars too: the batch has moved them.
        RedrawWindow(window, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
    }
}
