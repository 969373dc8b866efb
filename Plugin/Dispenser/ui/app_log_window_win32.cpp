#include "Plugin/Dispenser/ui/app_log_window.h"

#include "framework/exceptions.h"
#include "framework/messages.h"
#include "framework/system_error.h"
#include "framework/text_format.h"
#include "framework/win32/file_name_dialog.h"
#include "framework/win32/temp_file_port.h"
#include "framework/win32/ui_engine.h"
#include "framework/win32/wide_text.h"
#include "framework/window_messages.h"
#include "resources/resource_ids.h"

#include <richedit.h>

#include <vector>

namespace {

const std::vector<FileType> kFileTypes = {{"Файлы Rich Text Format", ".rtf"}, {"Текстовые файлы", ".TXT"}};

struct StreamTarget {
    FilePort* file;
    DWORD failure;
};

DWORD CALLBACK WriteStreamBlock(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* written)
{
    auto* target = reinterpret_cast<StreamTarget*>(cookie);
    DWORD done = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(target->file->File()), buffer, static_cast<DWORD>(size), &done, nullptr)) {
        target->failure = GetLastError();
        *written = 0;
        return target->failure;
    }
    *written = static_cast<LONG>(done);
    return 0;
}

} // namespace

AppLogWindow::AppLogWindow(HWND control, HMODULE module)
    : DSubclassWindow(control, 1),
      logMessage_(RegisterWindowMessageName("OrvaneAppLog")),
      menu_(LoadMenuW(module, L"AppLogWindowPopupMenu")),
      accelerators_(LoadAcceleratorsW(module, L"AppLogWindowAccel")),
      findMessage_(RegisterWindowMessageW(FINDMSGSTRINGW))
{
    findRequest_.lStructSize = sizeof findRequest_;
    findRequest_.hwndOwner = control;
    findRequest_.Flags = FR_DOWN;
    findRequest_.lpstrFindWhat = findText_;
    findRequest_.wFindWhatLen = static_cast<WORD>(std::size(findText_));
    findRequest_.lCustData = reinterpret_cast<LPARAM>(this);
}

AppLogWindow::~AppLogWindow()
{
    AttachLog(nullptr, nullptr);
    if (findDialog_ != nullptr && IsWindow(findDialog_))
        DestroyWindow(findDialog_);
    if (accelerators_ != nullptr)
        DestroyAcceleratorTable(accelerators_);
    if (menu_ != nullptr)
        DestroyMenu(menu_);
}

void AppLogWindow::AttachLog(AppLog* log, const char* name)
{
    if (log_ != nullptr)
        log_->SetClientWindow(nullptr, 0);
    logName_ = name != nullptr ? name : "";
    log_ = log;
    if (log_ != nullptr)
        log_->SetClientWindow(Window(), logMessage_);
}

std::string AppLogWindow::DefaultFileName() const
{
    return logName_.empty() ? "Журнал" : logName_;
}

std::string AppLogWindow::Caption() const
{
    HWND owner = GetParent(Window());
    wchar_t text[256] = {};
    if (owner != nullptr)
        GetWindowTextW(owner, text, static_cast<int>(std::size(text)));
    return Narrow(text);
}

LRESULT AppLogWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG translated{Window(), message, wParam, lParam, 0, {}};
    if (accelerators_ != nullptr && TranslateAcceleratorW(Window(), accelerators_, &translated))
        return 0;
    if (message == WM_CONTEXTMENU) {
        POINT position{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (lParam == -1)
            GetCursorPos(&position);
        RECT rect{};
        GetWindowRect(Window(), &rect);
        if (!PtInRect(&rect, position)) {
            position = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
            SetCursorPos(position.x, position.y);
        }
        if (ShowContextMenu(position))
            return 0;
    } else if (message == WM_COMMAND) {
        if (OnCommand(HIWORD(wParam), LOWORD(wParam), lParam))
            return 0;
    } else if (message == findMessage_) {
        HandleFind(*reinterpret_cast<const FINDREPLACEW*>(lParam));
        return 0;
    } else if (message == logMessage_) {
        if (log_ != nullptr)
            log_->Produce(Window());
        return 0;
    }
    return DSubclassWindow::HandleMessage(message, wParam, lParam);
}

bool AppLogWindow::ShowContextMenu(POINT position)
{
    HMENU source = GetPopupMenu();
    HMENU popup = CreatePopupMenu();
    HMENU items = source != nullptr ? GetSubMenu(source, 0) : nullptr;
    for (int i = 0; items != nullptr && i < GetMenuItemCount(items); ++i) {
        wchar_t text[128] = {};
        MENUITEMINFOW item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STRING | MIIM_STATE;
        item.dwTypeData = text;
        item.cch = static_cast<UINT>(std::size(text));
        if (GetMenuItemInfoW(items, static_cast<UINT>(i), TRUE, &item))
            InsertMenuItemW(popup, static_cast<UINT>(i), TRUE, &item);
    }
    TrackPopupMenu(popup, TPM_CENTERALIGN, position.x, position.y, 0, Window(), nullptr);
    DestroyMenu(popup);
    return true;
}

bool AppLogWindow::OnCommand(int /*code*/, int id, LPARAM /*control*/)
{
    switch (id) {
    case IDM_LOG_SAVE:
        if (!fileName_.empty())
            Save();
        else
            SendMessageW(Window(), WM_COMMAND, IDM_LOG_SAVE_AS, 0);
        return true;
    case IDM_LOG_SAVE_AS:
        SaveAs();
        return true;
    case IDM_LOG_COPY:
        SendMessageW(Window(), WM_COPY, 0, 0);
        return true;
    case IDM_LOG_SELECT_ALL: {
        CHARRANGE all{0, -1};
        SendMessageW(Window(), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&all));
        return true;
    }
    case IDM_LOG_FIND:
        Find();
        return false;
    case IDM_LOG_FIND_NEXT:
        if (findText_[0] != L'\0') {
            // The last search again, with its options (a closing Find dialog may have
            // rewritten the flags of the shared request).
            FINDREPLACEW repeat = findRequest_;
            repeat.Flags = searchOptions_;
            SendMessageW(Window(), findMessage_, 0, reinterpret_cast<LPARAM>(&repeat));
        }
        return false;
    default:
        return false;
    }
}

void AppLogWindow::SaveAs()
{
    std::string name = fileName_;
    int type = saveRtf_ ? 0 : 1;
    if (name.empty()) {
        name = DefaultFileName();
        type = -1;
    }
    if (!FileNameDlg(Window(), kFileNameDlgSave, kFileTypes, {}, name, type, 2, ".rtf"))
        return;
    if (type == -1) {
        const int answer = AppMessage(
            "Использовать формат RTF?\r\n(При ответе \"Нет\" будет использоваться простой текстовый формат)", 35,
            Window(), Caption());
        if (answer == ButtonCancel)
            return;
        if (answer == ButtonYes)
            type = 0;
    }
    fileName_ = name;
    saveRtf_ = type == 0;
    Save();
}

bool AppLogWindow::WriteRtf(FilePort& file, DWORD& failure)
{
    StreamTarget target{&file, 0};
    EDITSTREAM stream{};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&target);
    stream.pfnCallback = WriteStreamBlock;
    SendMessageW(Window(), EM_STREAMOUT, SF_RTF | SFF_PLAINRTF, reinterpret_cast<LPARAM>(&stream));
    failure = stream.dwError != 0 ? stream.dwError : target.failure;
    return failure == 0;
}

bool AppLogWindow::WriteText(FilePort& file, DWORD& failure)
{
    // The control is an ANSI window: its text is taken as UTF-16 and written as UTF-8.
    GETTEXTLENGTHEX length{GTL_NUMCHARS | GTL_PRECISE | GTL_USECRLF, 1200};
    const auto characters = SendMessageW(Window(), EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0);
    std::vector<wchar_t> buffer(static_cast<std::size_t>(characters) + 1);
    GETTEXTEX request{};
    request.cb = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    request.flags = GT_USECRLF;
    request.codepage = 1200;
    const auto got = SendMessageW(Window(), EM_GETTEXTEX, reinterpret_cast<WPARAM>(&request),
                                  reinterpret_cast<LPARAM>(buffer.data()));
    const std::string text = "\xEF\xBB\xBF" + Narrow(std::wstring_view(buffer.data(), static_cast<std::size_t>(got)));
    DWORD written = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(file.File()), text.data(), static_cast<DWORD>(text.size()), &written,
                   nullptr) ||
        written != text.size()) {
        failure = GetLastError();
        return false;
    }
    return true;
}

bool AppLogWindow::Save()
{
    DWORD failure = 0;
    std::string reason;
    try {
        // A failed save leaves an existing file as it was.
        TempFilePort file(fileName_);
        if ((saveRtf_ ? WriteRtf(file, failure) : WriteText(file, failure))) {
            file.Complete();
            return true;
        }
        reason = SystemErrorText(failure);
    } catch (const WindowsError& error) {
        failure = error.Code();
        reason = error.Reason();
    }
    DebugMessage(FormatBuffer(256, "Save error %u", static_cast<unsigned>(failure)));
    ErrorMessage(FormatText("Не удалось сохранить журнал в файл \"%s\": %s", fileName_.c_str(), reason.c_str()),
                 Window(), Caption());
    return false;
}

void AppLogWindow::Find()
{
    if (findDialog_ != nullptr && IsWindow(findDialog_)) {
        SetFocus(findDialog_);
        return;
    }
    findDialog_ = FindTextW(&findRequest_);
    if (findDialog_ != nullptr)
        QortoModelessDialog(findDialog_);
}

void AppLogWindow::HandleFind(const FINDREPLACEW& request)
{
    if ((request.Flags & FR_DIALOGTERM) != 0) {
        findRequest_.Flags &= ~static_cast<DWORD>(FR_DIALOGTERM);
        findDialog_ = nullptr;
        return;
    }
    // The control knows direction, whole word and case; the dialog's own bits are not its business.
    const DWORD options = request.Flags & (FR_DOWN | FR_WHOLEWORD | FR_MATCHCASE);
    searchOptions_ = options;
    CHARRANGE selection{};
    SendMessageW(Window(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    const LONG length = GetWindowTextLengthA(Window());
    const bool down = (options & FR_DOWN) != 0;

    // The control searches its range forwards or, without FR_DOWN, backwards from its end.
    FINDTEXTEXW find{};
    find.lpstrText = request.lpstrFindWhat;
    find.chrg = down ? CHARRANGE{selection.cpMin, length} : CHARRANGE{0, selection.cpMax};
    const auto search = [&] {
        return SendMessageW(Window(), EM_FINDTEXTEXW, options, reinterpret_cast<LPARAM>(&find));
    };
    LRESULT found = search();
    // The current selection is the match: move on by one character.
    if (found >= 0 && find.chrgText.cpMin == selection.cpMin && find.chrgText.cpMax == selection.cpMax) {
        found = -1;
        if (down && selection.cpMin < length) {
            find.chrg = CHARRANGE{selection.cpMin + 1, length};
            found = search();
        } else if (!down && selection.cpMin > 0) {
            find.chrg = CHARRANGE{0, selection.cpMin - 1};
            found = search();
        }
    }
    if (found >= 0) {
        SendMessageW(Window(), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&find.chrgText));
        return;
    }
    HWND owner = findDialog_ != nullptr && IsWindow(findDialog_) ? findDialog_ : nullptr;
    AppMessage("Текст не найден:\r\n" + Narrow(request.lpstrFindWhat), 64, owner, Caption());
    const LPARAM caret = down ? length : 0;
    SendMessageW(Window(), EM_SETSEL, static_cast<WPARAM>(caret), caret);
}
