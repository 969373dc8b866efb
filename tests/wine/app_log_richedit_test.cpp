// The application log shown live in a rich-edit control: the records reach the
// control through the posted notification and AppLog::Produce, Russian intact.
#include "framework/app_log.h"

#include "framework/win32/wide_text.h"
#include "framework/window_messages.h"
#include "windows_api.h"

#include <gtest/gtest.h>

#include <richedit.h>

#include <string>
#include <vector>

namespace {

class RichEditWindow {
public:
    RichEditWindow()
    {
        library_ = LoadLibraryW(L"riched32.dll");
        window_ = CreateWindowExW(0, L"RICHEDIT", L"", WS_POPUP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY, 0, 0, 600, 400, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~RichEditWindow()
    {
        if (window_ != nullptr)
            DestroyWindow(window_);
        if (library_ != nullptr)
            FreeLibrary(library_);
    }
    RichEditWindow(const RichEditWindow&) = delete;
    RichEditWindow& operator=(const RichEditWindow&) = delete;

    HWND Handle() const { return window_; }

    std::string Text() const
    {
        std::vector<wchar_t> buffer(65536);
        GETTEXTEX request{};
        request.cb = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        request.flags = GT_USECRLF;
        request.codepage = 1200;
        const auto length = SendMessageW(window_, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&request),
                                         reinterpret_cast<LPARAM>(buffer.data()));
        return Narrow(std::wstring_view(buffer.data(), static_cast<std::size_t>(length)));
    }

private:
    HMODULE library_ = nullptr;
    HWND window_ = nullptr;
};

// Handles the notifications in the window's queue the way the log window does.
int PumpNotifications(AppLog& log, HWND window, unsigned notification)
{
    int handled = 0;
    MSG message;
    while (PeekMessageW(&message, window, notification, notification, PM_REMOVE)) {
        log.Produce(window);
        ++handled;
    }
    return handled;
}

TEST(AppLogRichEdit, RecordsArriveLiveWithRussianIntact)
{
    RichEditWindow edit;
    ASSERT_NE(edit.Handle(), nullptr) << "no RICHEDIT window class";
    const unsigned notification = RegisterWindowMessageName("OrvaneAppLog");
    EXPECT_EQ(notification, RegisterWindowMessageW(L"OrvaneAppLog"));

    AppLog log;
    log.Write(AppLog::Info, "до подключения окна");
    log.SetClientWindow(edit.Handle(), notification);
    log.Write(AppLog::Info, "Выдача купюр: начало");
    log.Write(AppLog::Error, "Ошибка устройства, код %u (%02XH).", 0x38u, 0x38u);
    // One notification for both records.
    EXPECT_EQ(PumpNotifications(log, edit.Handle(), notification), 1);
    EXPECT_EQ(edit.Text(), "Выдача купюр: начало\r\nОшибка устройства, код 56 (38H).\r\n");

    log.Write(AppLog::Positive, "выдано купюр из кассеты #1: 3 шт.");
    EXPECT_EQ(PumpNotifications(log, edit.Handle(), notification), 1);
    EXPECT_NE(edit.Text().find("выдано купюр из кассеты #1: 3 шт.\r\n"), std::string::npos);

    log.SetClientWindow(nullptr, 0);
    log.Write(AppLog::Info, "после отключения");
    EXPECT_EQ(PumpNotifications(log, edit.Handle(), notification), 0);
    EXPECT_EQ(edit.Text().find("после"), std::string::npos);
}

// A batch of records neither shows a control that is not on screen nor leaves one hidden
// (drawing left off hides it); the last record is scrolled into view.
TEST(AppLogRichEdit, ABatchLeavesTheControlAsShownAsItWasWithTheLastLineInView)
{
    for (const bool shown : {false, true}) {
        RichEditWindow edit;
        ASSERT_NE(edit.Handle(), nullptr) << "no RICHEDIT window class";
        if (shown)
            ShowWindow(edit.Handle(), SW_SHOWNA);
        const unsigned notification = RegisterWindowMessageName("OrvaneAppLog");
        AppLog log;
        log.SetClientWindow(edit.Handle(), notification);
        for (int i = 1; i <= 200; ++i)
            log.Write(i % 2 == 0 ? AppLog::Error : AppLog::Info, "запись %d", i);
        EXPECT_EQ(PumpNotifications(log, edit.Handle(), notification), 1);
        EXPECT_EQ(IsWindowVisible(edit.Handle()) != FALSE, shown) << "shown: " << shown;
        EXPECT_NE(edit.Text().find("запись 200\r\n"), std::string::npos);
        if (shown) {
            // Far more lines than the window holds: the view has followed them down.
            EXPECT_GT(SendMessageW(edit.Handle(), EM_GETFIRSTVISIBLELINE, 0, 0), 100);
        }
    }
}

} // namespace
