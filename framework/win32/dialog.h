// Window objects of the framework: DDialog, a dialog built from a template of a
// module, with virtual handlers; DSubclassWindow, an object that takes the messages
// of an existing window (a control) before its own procedure. No exception leaves
// a window procedure: UnhandledException reports it.
#pragma once

#include "windows_api.h"

#include <memory>
#include <string>

class AutoLayout;

class DDialog {
public:
    DDialog(HMODULE module, const wchar_t* templateName);
    // Destroys the window, when it still exists.
    virtual ~DDialog();
    DDialog(const DDialog&) = delete;
    DDialog& operator=(const DDialog&) = delete;

    // Creates the window modeless, owned by `owner`; raises WindowsError on failure.
    HWND Create(HWND owner);
    // Runs the dialog modally on the calling thread: creates its window owned by
    // `owner`, shows it and dispatches messages (the owner disabled meanwhile) until
    // EndDialog; the window is destroyed before the call returns. Returns EndDialog's
    // code; raises WindowsError when the window cannot be created, CoError when the
    // run ends otherwise (the thread's quit message).
    int Execute(HWND owner);
    HWND Window() const { return window_; }
    HMODULE Module() const { return module_; }

    // Arranges the controls on every resize.
    void SetAutoLayout(std::unique_ptr<AutoLayout> layout);

    // Handlers, called on the window's thread.
    virtual BOOL InitDialog(HWND window);
    // Every message; returns TRUE when handled (the dialog procedure's convention).
    virtual INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    virtual void Command(int code, int id, HWND control);
    virtual void Ok();
    virtual void Cancel();
    // Ends the modal run of the engine with `code` (posts 0x4400 to the thread).
    virtual void EndDialog(int code);
    virtual void Activation(bool active);
    virtual void UnhandledException(const std::string& reason);

private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HMODULE module_;
    std::wstring templateName_;
    HWND window_ = nullptr;
    std::unique_ptr<AutoLayout> layout_;
};

class DSubclassWindow {
public:
    // Takes the messages of `window` from now on. Transparency mode 1: messages the
    // object does not handle go on to the window's own procedure.
    DSubclassWindow(HWND window, int transparencyMode);
    virtual ~DSubclassWindow();
    DSubclassWindow(const DSubclassWindow&) = delete;
    DSubclassWindow& operator=(const DSubclassWindow&) = delete;

    HWND Window() const { return window_; }
    void Subclassing();
    void Desubclassing();

    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DefaultProcessing(UINT message, WPARAM wParam, LPARAM lParam);
    virtual void UnhandledException(const std::string& reason);

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_;
    WNDPROC original_ = nullptr;
};
