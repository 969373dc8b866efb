#include "framework/win32/dialog.h"

#include "framework/exceptions.h"
#include "framework/messages.h"
#include "framework/win32/auto_layout.h"
#include "framework/win32/ui_engine.h"

DDialog::DDialog(HMODULE module, const wchar_t* templateName) : module_(module), templateName_(templateName) {}

DDialog::~DDialog()
{
    if (window_ != nullptr && IsWindow(window_)) {
        SetWindowLongPtrW(window_, DWLP_USER, 0);
        DestroyWindow(window_);
    }
}

HWND DDialog::Create(HWND owner)
{
    HWND window = CreateDialogParamW(module_, templateName_.c_str(), owner, &DDialog::Procedure,
                                     reinterpret_cast<LPARAM>(this));
    if (window == nullptr)
        THROW_LAST_SYSTEM_ERROR();
    return window;
}

int DDialog::Execute(HWND owner)
{
    HWND window = Create(owner);
    // The window goes however the run ends; the owner is enabled again by then.
    struct WindowEnd {
        HWND window;
        ~WindowEnd()
        {
            if (IsWindow(window))
                DestroyWindow(window);
        }
    } end{window};
    int code = 0;
    CheckQortoResult(QortoExecute(window, code, SW_SHOW), __FILE_NAME__, __LINE__);
    return code;
}

void DDialog::SetAutoLayout(std::unique_ptr<AutoLayout> layout)
{
    layout_ = std::move(layout);
}

BOOL DDialog::InitDialog(HWND /*window*/)
{
    return TRUE;
}

INT_PTR DDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        Command(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam));
        return TRUE;
    case WM_CLOSE:
        Cancel();
        return TRUE;
    case WM_SIZE:
        if (layout_)
            layout_->Apply();
        return FALSE;
    case WM_ACTIVATE:
        Activation(LOWORD(wParam) != WA_INACTIVE);
        return FALSE;
    default:
        return FALSE;
    }
}

void DDialog::Command(int /*code*/, int id, HWND /*control*/)
{
    if (id == IDOK)
        Ok();
    else if (id == IDCANCEL)
        Cancel();
}

void DDialog::Ok()
{
    EndDialog(IDOK);
}

void DDialog::Cancel()
{
    EndDialog(IDCANCEL);
}

void DDialog::EndDialog(int code)
{
    PostEndModalRun(window_, code);
}

void DDialog::Activation(bool /*active*/) {}

void DDialog::UnhandledException(const std::string& reason)
{
    DebugMessage("DDialog: " + reason);
}

INT_PTR CALLBACK DDialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DDialog* dialog = nullptr;
    if (message == WM_INITDIALOG) {
        dialog = reinterpret_cast<DDialog*>(lParam);
        dialog->window_ = window;
        SetWindowLongPtrW(window, DWLP_USER, lParam);
    } else {
        dialog = reinterpret_cast<DDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    }
    if (dialog == nullptr)
        return FALSE;
    INT_PTR handled = FALSE;
    try {
        handled = message == WM_INITDIALOG ? dialog->InitDialog(window) : dialog->HandleMessage(message, wParam, lParam);
    } catch (const OrvaneException& error) {
        dialog->UnhandledException(error.Reason());
    } catch (...) {
        dialog->UnhandledException("unknown exception");
    }
    if (message == WM_NCDESTROY) {
        // The window is gone: the object may outlive it, but must not reach it.
        SetWindowLongPtrW(window, DWLP_USER, 0);
        dialog->window_ = nullptr;
    }
    return handled;
}

namespace {

constexpr wchar_t kSubclassProperty[] = L"Orvane.DSubclassWindow";

} // namespace

DSubclassWindow::DSubclassWindow(HWND window, int /*transparencyMode*/) : window_(window)
{
    Subclassing();
}

DSubclassWindow::~DSubclassWindow()
{
    Desubclassing();
}

void DSubclassWindow::Subclassing()
{
    if (window_ == nullptr || original_ != nullptr)
        return;
    SetPropW(window_, kSubclassProperty, this);
    original_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DSubclassWindow::Procedure)));
}

void DSubclassWindow::Desubclassing()
{
    if (window_ == nullptr || original_ == nullptr)
        return;
    if (IsWindow(window_)) {
        SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
        RemovePropW(window_, kSubclassProperty);
    }
    original_ = nullptr;
}

LRESULT DSubclassWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefaultProcessing(message, wParam, lParam);
}

LRESULT DSubclassWindow::DefaultProcessing(UINT message, WPARAM wParam, LPARAM lParam)
{
    return CallWindowProcW(original_, window_, message, wParam, lParam);
}

void DSubclassWindow::UnhandledException(const std::string& reason)
{
    DebugMessage("DSubclassWindow: " + reason);
}

LRESULT CALLBACK DSubclassWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* object = static_cast<DSubclassWindow*>(GetPropW(window, kSubclassProperty));
    if (object == nullptr)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        const WNDPROC original = object->original_;
        object->Desubclassing();
        object->window_ = nullptr;
        return CallWindowProcW(original, window, message, wParam, lParam);
    }
    try {
        return object->HandleMessage(message, wParam, lParam);
    } catch (const OrvaneException& error) {
        object->UnhandledException(error.Reason());
    } catch (...) {
        object->UnhandledException("unknown exception");
    }
    return 0;
}
