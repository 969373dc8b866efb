#include "Plugin/Plugin/com/control_plugin_page.h"

#include "framework/exceptions.h"
#include "framework/messages.h"
#include "framework/numbers.h"
#include "framework/win32/wide_text.h"

#include <commctrl.h>
#include <prsht.h>

#include <cmath>
#include <limits>

namespace TVXDK::Standard {

namespace {

HWND WindowOf(LONG handle)
{
    return reinterpret_cast<HWND>(static_cast<LONG_PTR>(handle));
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

} // namespace

ControlPluginPage::ControlPluginPage(ITypeInfo* typeInfo, ITallivoxControlSite* site, std::string caption)
    : TallivoxObject2<ITallivoxControlPage>(typeInfo), site_(site), caption_(std::move(caption))
{
}

HRESULT STDMETHODCALLTYPE ControlPluginPage::Attach(LONG window, LONG* result)
{
    return Automation::ComMethod([&] {
        window_ = WindowOf(window);
        const bool attached = OnAttach(window_);
        if (result != nullptr)
            *result = attached ? 1 : 0;
    });
}

HRESULT STDMETHODCALLTYPE ControlPluginPage::Detach(LONG* result)
{
    if (result != nullptr)
        *result = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ControlPluginPage::Command(LONG code, LONG id, LONG control, LONG* handled)
{
    return Automation::ComMethod([&] {
        const bool done = OnCommand(code & 0xFFFF, id & 0xFFFF, WindowOf(control));
        if (handled != nullptr)
            *handled = done ? 1 : 0;
    });
}

HRESULT STDMETHODCALLTYPE ControlPluginPage::Help(LONG control, LONG* handled)
{
    return Automation::ComMethod([&] {
        const bool done = OnHelp(WindowOf(control));
        if (handled != nullptr)
            *handled = done ? 1 : 0;
    });
}

HRESULT STDMETHODCALLTYPE ControlPluginPage::Apply(LONG interactive, LONG /*reserved*/, LONG* applied)
{
    return Automation::ComMethod([&] {
        const bool done = OnApply(interactive != 0);
        if (applied != nullptr)
            *applied = done ? 1 : 0;
    });
}

bool ControlPluginPage::OnAttach(HWND /*window*/)
{
    return true;
}

bool ControlPluginPage::OnCommand(int, int, HWND)
{
    return false;
}

bool ControlPluginPage::OnHelp(HWND)
{
    return false;
}

bool ControlPluginPage::OnApply(bool)
{
    return true;
}

void ControlPluginPage::FocusControl(HWND control)
{
    if (window_ == nullptr)
        return;
    if (HWND sheet = GetParent(window_)) {
        const LRESULT index = SendMessageW(sheet, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(window_), 0);
        PostMessageW(sheet, PSM_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
    PostMessageW(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), 1);
}

bool ControlPluginPage::ConfirmFieldError(HWND control, const std::string& fieldName, const std::string& problem)
{
    const std::string text = "Поле \"" + fieldName + "\": " + problem + "\r\n\"Отмена\" - исправить значение.";
    if (Message(text, MB_OKCANCEL | MB_ICONEXCLAMATION | MB_DEFBUTTON2) != ButtonCancel)
        return false;
    FocusControl(control);
    return true;
}

void ControlPluginPage::ShowFieldError(HWND control, const std::string& fieldName, const std::string& problem)
{
    Error("Поле \"" + fieldName + "\": " + problem);
    FocusControl(control);
}

int ControlPluginPage::Message(const std::string& text, int style, HWND owner, const std::string& caption, int flags)
{
    if (owner == nullptr && (flags & kNoDefaultOwner) == 0)
        owner = window_;
    return AppMessage(text, style, owner, caption.empty() && (flags & kNoDefaultCaption) == 0 ? caption_ : caption,
                      flags & ~(kNoDefaultOwner | kNoDefaultCaption));
}

int ControlPluginPage::Error(const std::string& text, HWND owner, const std::string& caption, int flags)
{
    if (owner == nullptr && (flags & kNoDefaultOwner) == 0)
        owner = window_;
    return ErrorMessage(text, owner, caption.empty() && (flags & kNoDefaultCaption) == 0 ? caption_ : caption,
                        flags & ~(kNoDefaultOwner | kNoDefaultCaption));
}

bool ControlPluginPage::CheckNotEmpty(HWND control, const std::string& fieldName, const std::string& hint)
{
    if (!ControlText(control).empty())
        return true;
    std::string problem = "пустое/незаданное значение";
    if (!hint.empty())
        problem += " (" + hint + ")";
    return !ConfirmFieldError(control, fieldName, problem + ".");
}

bool ControlPluginPage::CheckNoOuterBlanks(HWND control, const std::string& fieldName, const std::string& hint)
{
    const std::string text = ControlText(control);
    std::string where;
    if (!text.empty() && IsBlank(text.front()))
        where = "начале";
    else if (!text.empty() && IsBlank(text.back()))
        where = "конце";
    else
        return true;
    std::string problem = "пробелы в " + where + " текста";
    problem += hint.empty() ? " (во избежание двусмысленности дальнейшего использования данного значения "
                              "рекомендуется не вставлять пробелы в начале и в конце)"
                            : " (" + hint + ")";
    return !ConfirmFieldError(control, fieldName, problem + ".");
}

bool ControlPluginPage::CheckPassword(HWND control, HWND repeatControl, const std::string& fieldName,
                                      const std::string& hint)
{
    const std::string name = fieldName.empty() ? std::string("Пароль") : fieldName;
    if (ControlText(control) != ControlText(repeatControl)) {
        ShowFieldError(control, name, "повторный ввод не соответствует паролю, введите пароль ещё раз.");
        return false;
    }
    return CheckNotEmpty(control, name, hint) && CheckNoOuterBlanks(control, name, hint);
}

bool ControlPluginPage::ReadInteger(HWND control, const std::string& fieldName, std::int32_t* out)
{
    const std::string text = ControlText(control);
    double value = 0;
    bool whole = false;
    try {
        value = ScanNumber(FormatLenient, text, -1, true);
        // A fraction or a number beyond the range is no integer either: it is refused,
        // not rounded or cut to another value.
        whole = std::trunc(value) == value && value >= std::numeric_limits<std::int32_t>::min() &&
                value <= std::numeric_limits<std::int32_t>::max();
    } catch (const NumericScanException&) {
        whole = false;
    }
    if (!whole) {
        ShowFieldError(control, fieldName, "ошибка формата целого числа (\"" + text + "\")");
        return false;
    }
    if (out != nullptr)
        *out = static_cast<std::int32_t>(value);
    return true;
}

std::string ControlPluginPage::ControlText(HWND control)
{
    if (control == nullptr)
        return {};
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return Narrow(text);
}

} // namespace TVXDK::Standard
