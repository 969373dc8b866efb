// The log window on a real rich-edit control: live text, select all and copy, save
// as RTF and as text, the save shortcut, find with the system's Find dialog and F3,
// and the context menu's position. Message boxes and the file-name dialog are
// answered by hooks; everything else is the real window.
#include "Plugin/Dispenser/ui/app_log_window.h"

#include "framework/messages.h"
#include "framework/paths.h"
#include "framework/win32/file_name_dialog.h"
#include "framework/win32/wide_text.h"
#include "framework/window_messages.h"
#include "resources/resource_ids.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <richedit.h>

#include <optional>
#include <vector>

namespace {

// An AppLogWindow that remembers where its context menu would open (the real menu
// would hold the test in its modal loop).
class RecordingLogWindow : public AppLogWindow {
public:
    using AppLogWindow::AppLogWindow;
    std::optional<POINT> menuAt;

    bool ShowContextMenu(POINT position) override
    {
        menuAt = position;
        return true;
    }
};

class LogWindowTest : public ::testing::Test {
protected:
    LogWindowTest()
    {
        richEdit_ = LoadLibraryW(L"riched32.dll");
        control_ = CreateWindowExW(0, L"RICHEDIT", L"", WS_POPUP | ES_MULTILINE | ES_READONLY | WS_VSCROLL,
                                   100, 100, 400, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        window_ = std::make_unique<RecordingLogWindow>(control_, GetModuleHandleW(nullptr));
        previousPrompt_ = SetOperatorPromptHook([this](const OperatorPrompt& prompt) {
            prompts_.push_back(prompt);
            return answers_.empty() ? ButtonOk : Next(answers_);
        });
        previousFileDialog_ = SetFileNameDialogHook([this](FileNameRequest& request) {
            offered_.push_back(request.name);
            if (chosenNames_.empty())
                return false;
            request.name = chosenNames_.front();
            chosenNames_.erase(chosenNames_.begin());
            return true;
        });
    }

    ~LogWindowTest() override
    {
        SetOperatorPromptHook(previousPrompt_);
        SetFileNameDialogHook(previousFileDialog_);
        window_.reset();
        DestroyWindow(control_);
        FreeLibrary(richEdit_);
    }

    static int Next(std::vector<int>& answers)
    {
        const int answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    }

    // Writes records and lets the control's notification deliver them.
    void ShowLines(const std::vector<std::string>& lines, const char* name = "Выдача купюр")
    {
        window_->AttachLog(&log_, name);
        for (const std::string& line : lines)
            log_.WriteText(AppLog::Info, line);
        Pump();
    }

    static void Pump()
    {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }

    std::string Text() const
    {
        std::vector<wchar_t> buffer(65536);
        GETTEXTEX request{};
        request.cb = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        request.flags = GT_USECRLF;
        request.codepage = 1200;
        const auto length = SendMessageW(control_, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&request),
                                         reinterpret_cast<LPARAM>(buffer.data()));
        return Narrow(std::wstring_view(buffer.data(), static_cast<std::size_t>(length)));
    }

    CHARRANGE Selection() const
    {
        CHARRANGE range{};
        SendMessageW(control_, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
        return range;
    }

    void Command(int id) { SendMessageW(control_, WM_COMMAND, static_cast<WPARAM>(id), 0); }

    // Sends the find request the Find dialog sends.
    void FindText(const wchar_t* text, DWORD flags)
    {
        static wchar_t buffer[256];
        wcscpy(buffer, text);
        FINDREPLACEW request{};
        request.lStructSize = sizeof request;
        request.Flags = flags;
        request.lpstrFindWhat = buffer;
        request.wFindWhatLen = 256;
        SendMessageW(control_, RegisterWindowMessageW(FINDMSGSTRINGW), 0, reinterpret_cast<LPARAM>(&request));
    }

    HMODULE richEdit_ = nullptr;
    HWND control_ = nullptr;
    std::unique_ptr<RecordingLogWindow> window_;
    AppLog log_;
    TempFolder folder_;
    std::vector<OperatorPrompt> prompts_;
    std::vector<int> answers_;
    std::vector<std::string> offered_;
    std::vector<std::string> chosenNames_;
    OperatorPromptHook previousPrompt_;
    FileNameDialogHook previousFileDialog_;
};

TEST_F(LogWindowTest, SelectAllAndCopyPutTheRussianTextOnTheClipboard)
{
    ShowLines({"Выдача купюр: начало", "выдано купюр из кассеты #1: 3 шт."});
    Command(IDM_LOG_SELECT_ALL);
    const CHARRANGE all = Selection();
    EXPECT_EQ(all.cpMin, 0);
    EXPECT_GT(all.cpMax, 20);
    Command(IDM_LOG_COPY);
    ASSERT_TRUE(OpenClipboard(nullptr));
    const auto data = static_cast<const wchar_t*>(GlobalLock(GetClipboardData(CF_UNICODETEXT)));
    const std::string copied = data != nullptr ? Narrow(data) : std::string();
    if (data != nullptr)
        GlobalUnlock(GetClipboardData(CF_UNICODETEXT));
    CloseClipboard();
    EXPECT_NE(copied.find("Выдача купюр: начало"), std::string::npos) << copied;
    EXPECT_NE(copied.find("выдано купюр из кассеты #1: 3 шт."), std::string::npos) << copied;
}

TEST_F(LogWindowTest, SaveAsTextAndAsRtfKeepTheRussianText)
{
    ShowLines({"Опрос состояния устройства", "статус устройства: error:30 (\"Good\")"});
    const std::string text = folder_.File("журнал.TXT");
    chosenNames_ = {text};
    Command(IDM_LOG_SAVE_AS);
    EXPECT_FALSE(window_->SavesRtf());
    const std::string saved = ReadFileBytes(text);
    EXPECT_EQ(saved.rfind("\xEF\xBB\xBF", 0), 0u);
    EXPECT_NE(saved.find("Опрос состояния устройства\r\n"), std::string::npos) << saved;

    const std::string rtf = folder_.File("журнал.rtf");
    chosenNames_ = {rtf};
    Command(IDM_LOG_SAVE_AS);
    EXPECT_TRUE(window_->SavesRtf());
    const std::string rtfText = ReadFileBytes(rtf);
    EXPECT_EQ(rtfText.rfind("{\\rtf", 0), 0u);
    // The RTF read back into a rich-edit control gives the same Russian text.
    HWND reader = CreateWindowExW(0, L"RICHEDIT", L"", WS_POPUP | ES_MULTILINE, 0, 0, 100, 100, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    struct Source {
        const std::string* bytes;
        std::size_t at;
    } source{&rtfText, 0};
    EDITSTREAM stream{};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
    stream.pfnCallback = [](DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* read) -> DWORD {
        auto* from = reinterpret_cast<Source*>(cookie);
        const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(size), from->bytes->size() - from->at);
        std::copy_n(from->bytes->data() + from->at, count, buffer);
        from->at += count;
        *read = static_cast<LONG>(count);
        return 0;
    };
    SendMessageW(reader, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
    std::vector<wchar_t> back(4096);
    GETTEXTEX request{static_cast<DWORD>(back.size() * sizeof(wchar_t)), GT_USECRLF, 1200, nullptr, nullptr};
    const auto length = SendMessageW(reader, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&request),
                                     reinterpret_cast<LPARAM>(back.data()));
    DestroyWindow(reader);
    EXPECT_NE(Narrow(std::wstring_view(back.data(), static_cast<std::size_t>(length))).find("Опрос состояния устройства"),
              std::string::npos);

    // Ctrl+S repeats the last save-as without asking.
    ShowLines({"ещё строка"});
    Command(IDM_LOG_SAVE);
    EXPECT_EQ(offered_.size(), 2u);
}

TEST_F(LogWindowTest, SaveBeforeAnySaveAsOffersTheLogNameOrJournal)
{
    ShowLines({"x"}, "Выдача купюр");
    Command(IDM_LOG_SAVE); // nothing chosen: the dialog is cancelled
    ShowLines({"x"}, nullptr);
    Command(IDM_LOG_SAVE);
    EXPECT_EQ(offered_, (std::vector<std::string>{"Выдача купюр", "Журнал"}));
    EXPECT_TRUE(window_->FileName().empty());
}

TEST_F(LogWindowTest, UndeterminedTypeAsksForRtf)
{
    ShowLines({"строка"});
    chosenNames_ = {folder_.File("log.dat"), folder_.File("log2.dat"), folder_.File("log3.dat")};
    answers_ = {ButtonCancel, ButtonYes, ButtonNo};
    Command(IDM_LOG_SAVE_AS); // Cancel: nothing saved, no name kept
    EXPECT_TRUE(window_->FileName().empty());
    EXPECT_FALSE(FileExists(folder_.File("log.dat")));
    ASSERT_EQ(prompts_.size(), 1u);
    EXPECT_EQ(prompts_[0].text,
              "Использовать формат RTF?\r\n(При ответе \"Нет\" будет использоваться простой текстовый формат)");
    EXPECT_EQ(prompts_[0].style, 35);
    Command(IDM_LOG_SAVE_AS); // Yes: RTF
    EXPECT_EQ(ReadFileBytes(folder_.File("log2.dat")).rfind("{\\rtf", 0), 0u);
    Command(IDM_LOG_SAVE_AS); // No: plain text
    EXPECT_EQ(ReadFileBytes(folder_.File("log3.dat")).rfind("\xEF\xBB\xBF", 0), 0u);
    EXPECT_EQ(window_->FileName(), folder_.File("log3.dat"));
}

TEST_F(LogWindowTest, AFailedSaveKeepsTheOldFileAndTellsTheOperator)
{
    ShowLines({"новое"});
    // The target is a folder: the temporary file cannot replace it.
    const std::string target = folder_.File("existing.TXT");
    CreateDirectoryW(Widen(target).c_str(), nullptr);
    chosenNames_ = {target};
    std::vector<std::string> debug;
    const auto previous = SetDebugMessageHook([&](const std::string& text) { debug.push_back(text); });
    Command(IDM_LOG_SAVE_AS);
    SetDebugMessageHook(previous);
    ASSERT_FALSE(debug.empty());
    EXPECT_EQ(debug.front().rfind("Save error ", 0), 0u);
    ASSERT_EQ(prompts_.size(), 1u);
    EXPECT_NE(prompts_[0].text.find("Не удалось сохранить журнал"), std::string::npos);
    EXPECT_FALSE(FileExists(target + ".tmp~"));
}

TEST_F(LogWindowTest, FindDownUpAndNotFound)
{
    ShowLines({"alpha купюр", "beta купюр", "gamma"});
    SendMessageW(control_, EM_SETSEL, 0, 0);
    FindText(L"купюр", FR_DOWN);
    const CHARRANGE first = Selection();
    EXPECT_EQ(first.cpMax - first.cpMin, 5);
    FindText(L"купюр", FR_DOWN); // the selection is a match: the next one
    const CHARRANGE second = Selection();
    EXPECT_GT(second.cpMin, first.cpMin);
    FindText(L"купюр", 0); // up from there: the first one again
    EXPECT_EQ(Selection().cpMin, first.cpMin);

    FindText(L"нет такого", FR_DOWN);
    ASSERT_EQ(prompts_.size(), 1u);
    EXPECT_EQ(prompts_[0].text, "Текст не найден:\r\nнет такого");
    EXPECT_EQ(prompts_[0].style, 64);
    EXPECT_EQ(prompts_[0].owner, nullptr); // the Find dialog is not open
    const CHARRANGE caret = Selection();
    EXPECT_EQ(caret.cpMin, caret.cpMax);
    EXPECT_EQ(caret.cpMin, GetWindowTextLengthA(control_)); // at the end when searching down
}

TEST_F(LogWindowTest, FindNextNeedsAFindTextAndWorksWithoutTheDialog)
{
    // Latin text: wine's Find dialog keeps its edit text in the system code page.
    ShowLines({"one note", "two note"});
    SendMessageW(control_, EM_SETSEL, 0, 0);
    Command(IDM_LOG_FIND_NEXT); // no find text yet: nothing happens
    EXPECT_EQ(Selection().cpMax, 0);
    EXPECT_TRUE(prompts_.empty());

    // The Find dialog: type the text and press "Find Next".
    Command(IDM_LOG_FIND);
    HWND dialog = window_->FindDialog();
    ASSERT_NE(dialog, nullptr);
    SetDlgItemTextW(dialog, 0x480, L"note");
    SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    Pump();
    const CHARRANGE first = Selection();
    EXPECT_EQ(first.cpMax - first.cpMin, 4);
    // Closed, F3 still repeats the search from the selection.
    SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    Pump();
    EXPECT_EQ(window_->FindDialog(), nullptr);
    Command(IDM_LOG_FIND_NEXT);
    EXPECT_GT(Selection().cpMin, first.cpMin);
    Command(IDM_LOG_FIND_NEXT); // past the last match: not found, without an owner
    ASSERT_EQ(prompts_.size(), 1u);
    EXPECT_EQ(prompts_[0].owner, nullptr);
}

TEST_F(LogWindowTest, MenuKeyOpensTheMenuAtTheCursorOrTheCentre)
{
    ShowLines({"x"});
    RECT rect{};
    GetWindowRect(control_, &rect);
    SetCursorPos(rect.left + 10, rect.top + 10);
    SendMessageW(control_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(control_), -1);
    ASSERT_TRUE(window_->menuAt.has_value());
    EXPECT_EQ(window_->menuAt->x, rect.left + 10);

    SetCursorPos(rect.right + 50, rect.bottom + 50); // outside: moved to the centre
    SendMessageW(control_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(control_), -1);
    EXPECT_EQ(window_->menuAt->x, (rect.left + rect.right) / 2);
    EXPECT_EQ(window_->menuAt->y, (rect.top + rect.bottom) / 2);
    POINT cursor{};
    GetCursorPos(&cursor);
    EXPECT_EQ(cursor.x, (rect.left + rect.right) / 2);
}

} // namespace
