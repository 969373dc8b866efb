#include "tools/kiosk-host/unattended_operator.h"

#include "framework/win32/wide_text.h"
#include "tools/kiosk-host/text_output.h"

#include <commctrl.h>
#include <prsht.h>

#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

constexpr UINT kTickMilliseconds = 100;
// The sheet and its page have painted by then, also under wine with its X server.
constexpr int kTicksBeforeAction = 5;
constexpr int kTicksBeforeForcedCancel = 30;
// The control of a message box's text, in Windows and in wine.
constexpr int kMessageBoxTextId = 0xFFFF;

struct Answer {
    int id;
    std::string_view name;
};
// Most cautious first.
constexpr std::array kAnswers = {
    Answer{IDCANCEL, "Cancel"}, Answer{IDNO, "No"},       Answer{IDABORT, "Abort"},
    Answer{IDOK, "OK"},         Answer{IDYES, "Yes"},     Answer{IDRETRY, "Retry"},
    Answer{IDIGNORE, "Ignore"}, Answer{IDTRYAGAIN, "Try Again"}, Answer{IDCONTINUE, "Continue"},
};

std::string WindowText(HWND window)
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return Narrow(text);
}

std::string ClassName(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, static_cast<int>(std::size(name)));
    return Narrow(name);
}

struct BoxSearch {
    HWND sheet;
    std::vector<HWND> boxes;
};

// A dialog of this thread that takes input now, other than the sheet: the box (or
// nested dialog) the sheet's page is waiting for.
BOOL CALLBACK ConsiderWindow(HWND window, LPARAM data)
{
    auto& search = *reinterpret_cast<BoxSearch*>(data);
    if (window != search.sheet && IsWindowVisible(window) && IsWindowEnabled(window) &&
        ClassName(window) == "#32770")
        search.boxes.push_back(window);
    return TRUE;
}

void PrintBox(HWND box, std::string_view answer)
{
    PrintLine("message box: " + WindowText(box));
    const HWND textControl = GetDlgItem(box, kMessageBoxTextId);
    std::string text = textControl != nullptr ? WindowText(textControl) : std::string();
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        PrintLine("  " + line);
        start = end + 1;
    }
    PrintLine("  answer: " + std::string(answer));
}

} // namespace

int AnswerMessageBoxes(HWND sheet)
{
    BoxSearch search{sheet, {}};
    EnumThreadWindows(GetCurrentThreadId(), ConsiderWindow, reinterpret_cast<LPARAM>(&search));
    int answered = 0;
    for (const HWND box : search.boxes) {
        for (const Answer& answer : kAnswers) {
            const HWND button = GetDlgItem(box, answer.id);
            if (button == nullptr || !IsWindowVisible(button) || !IsWindowEnabled(button))
                continue;
            PrintBox(box, answer.name);
            SendMessageW(box, WM_COMMAND, MAKEWPARAM(answer.id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
            ++answered;
            break;
        }
    }
    return answered;
}

UnattendedOperator::UnattendedOperator(Action action) : action_(std::move(action)) {}

UnattendedOperator::~UnattendedOperator()
{
    if (sheet_ != nullptr && IsWindow(sheet_))
        KillTimer(sheet_, reinterpret_cast<UINT_PTR>(this));
}

void UnattendedOperator::Start(HWND sheet)
{
    if (sheet_ != nullptr || sheet == nullptr)
        return;
    sheet_ = sheet;
    // The timer's identifier is the operator: the timer procedure finds it there.
    SetTimer(sheet_, reinterpret_cast<UINT_PTR>(this), kTickMilliseconds, &UnattendedOperator::OnTimer);
}

void CALLBACK UnattendedOperator::OnTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    try {
        reinterpret_cast<UnattendedOperator*>(id)->Tick();
    } catch (...) {
        // Only the host's own output can throw; the next tick tries again.
    }
}

// Ticks also come while the action waits in a message box's loop: they answer the box.
void UnattendedOperator::Tick()
{
    ++ticks_;
    AnswerMessageBoxes(sheet_);
    if (acting_)
        return;
    if (actionEnd_ < 0) {
        if (ticks_ < kTicksBeforeAction)
            return;
        acting_ = true;
        struct ActionEnd {
            UnattendedOperator& self;
            ~ActionEnd()
            {
                self.acting_ = false;
                self.actionEnd_ = self.ticks_;
            }
        } end{*this};
        action_(sheet_);
        return;
    }
    if (!forcedToCancel_ && ticks_ - actionEnd_ >= kTicksBeforeForcedCancel) {
        forcedToCancel_ = true;
        PropSheet_PressButton(sheet_, PSBTN_CANCEL);
    }
}
