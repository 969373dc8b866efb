// AppLogWindow: a rich-edit control made into a live viewer of an application log,
// with a context menu and shortcuts to save the text as RTF or plain text, select
// all, copy, and find with the system's Find dialog. The log pushes its records
// into the control (AppLog::Produce) when its notification arrives. Everything here
// runs on the thread that owns the control.
#pragma once

#include "framework/app_log.h"
#include "framework/file_port.h"
#include "framework/win32/dialog.h"

#include <commdlg.h>

#include <string>

class AppLogWindow : public DSubclassWindow {
public:
    // Subclasses `control`; menu and accelerators come from `module`'s resources.
    AppLogWindow(HWND control, HMODULE module);
    ~AppLogWindow() override;

    // Shows `log` (null detaches the current one); `name` is offered as the file name.
    void AttachLog(AppLog* log, const char* name);

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    virtual bool OnCommand(int code, int id, LPARAM control);
    virtual bool ShowContextMenu(POINT position);
    virtual HMENU GetPopupMenu() const { return menu_; }
    // Writes the control's text to the stored file name; false when it failed.
    virtual bool Save();
    virtual void Find();
    virtual std::string DefaultFileName() const;

    const std::string& FileName() const { return fileName_; }
    bool SavesRtf() const { return saveRtf_; }
    HWND FindDialog() const { return findDialog_; }

private:
    void SaveAs();
    void HandleFind(const FINDREPLACEW& request);
    bool WriteRtf(FilePort& file, DWORD& failure);
    bool WriteText(FilePort& file, DWORD& failure);
    std::string Caption() const;

    AppLog* log_ = nullptr;
    UINT logMessage_;
    HMENU menu_;
    HACCEL accelerators_;
    std::string fileName_;
    bool saveRtf_ = false;
    std::string logName_;
    wchar_t findText_[256] = {};
    FINDREPLACEW findRequest_{};
    HWND findDialog_ = nullptr;
    DWORD searchOptions_ = FR_DOWN;
    UINT findMessage_;
};
