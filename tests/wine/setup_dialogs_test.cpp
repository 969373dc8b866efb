// The cassette and reject-bin setup dialogs, run modally as the service page runs
// them, and the framework's modal run of a dialog underneath. A thread timer plays the
// operator on the dialog's own thread: it finds the dialog once the run has shown it,
// clicks and types through window messages, and ends it. Message boxes are answered
// by the operator-prompt hook, which keeps their texts.
#include "Plugin/Dispenser/dispenser_log.h"
#include "Plugin/Dispenser/pending_pass.h"
#include "Plugin/Dispenser/settings.h"
#include "Plugin/Plugin/com/setup_dialogs.h"
#include "framework/exceptions.h"
#include "framework/messages.h"
#include "framework/paths.h"
#include "framework/win32/dialog.h"
#include "framework/win32/ui_engine.h"
#include "framework/win32/wide_text.h"
#include "resources/setup_dialog_ids.h"
#include "tests/support/screenshot.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_registry.h"
#include "tests/support/thread_timer.h"
#include "xdk/com_ptr.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <wincodec.h>

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace std::chrono_literals;
using TVXDK::Tallivox::ComPtr;

// ---------------------------------------------------------------------------------
// Playing the operator

// The visible dialog window of this thread, if any.
HWND FindThreadDialog()
{
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM data) -> BOOL {
            wchar_t name[16] = {};
            GetClassNameW(window, name, static_cast<int>(std::size(name)));
            if (std::wstring(name) != L"#32770" || !IsWindowVisible(window))
                return TRUE;
            *reinterpret_cast<HWND*>(data) = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// Hands the dialog of the next modal run on this thread to `act`, from a thread timer
// that the run's own loop dispatches. A run that is still open 10 s later is ended
// with code -1, so that a dialog that does not close fails the test instead of hanging it.
class OperatorScript {
public:
    explicit OperatorScript(std::function<void(HWND)> act) : act_(std::move(act)) {}
    OperatorScript(const OperatorScript&) = delete;
    OperatorScript& operator=(const OperatorScript&) = delete;

    bool Acted() const { return acted_; }
    bool TimedOut() const { return timedOut_; }

private:
    void Tick()
    {
        if (timedOut_ || acted_)
            return;
        if (std::chrono::steady_clock::now() - start_ > 10s) {
            timedOut_ = true;
            PostThreadMessageW(GetCurrentThreadId(), kEndModalRunMessage, static_cast<WPARAM>(-1), 0);
            return;
        }
        HWND dialog = FindThreadDialog();
        if (dialog == nullptr)
            return;
        acted_ = true;
        act_(dialog);
    }

    std::function<void(HWND)> act_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    bool acted_ = false;
    bool timedOut_ = false;
    ThreadTimer timer_{20, [this] { Tick(); }};
};

// What the operator sees of a dialog and does with it.
struct DialogView {
    HWND window;

    HWND Item(int id) const { return GetDlgItem(window, id); }
    bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
    bool Checked(int id) const { return IsDlgButtonChecked(window, id) == BST_CHECKED; }
    std::string Text(int id) const { return WindowText(Item(id)); }
    std::string Title() const { return WindowText(window); }
    static std::string WindowText(HWND window)
    {
        wchar_t text[256] = {};
        GetWindowTextW(window, text, static_cast<int>(std::size(text)));
        return Narrow(text);
    }

    // A click on a button or check box, as the mouse makes it (only an enabled one).
    void Click(int id) const
    {
        ASSERT_TRUE(Enabled(id)) << "control " << id << " is disabled";
        SendMessageW(Item(id), BM_CLICK, 0, 0);
    }
    void Type(int id, const std::string& text) const { SetWindowTextW(Item(id), Widen(text).c_str()); }
    // Chooses a list entry, with the notification a choice by the operator sends.
    void Choose(int id, int index) const
    {
        SendMessageW(Item(id), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(Item(id)));
    }
    int Selection(int id) const { return static_cast<int>(SendMessageW(Item(id), CB_GETCURSEL, 0, 0)); }
    std::vector<std::string> ListTexts(int id) const
    {
        std::vector<std::string> texts;
        const auto count = SendMessageW(Item(id), CB_GETCOUNT, 0, 0);
        for (LRESULT index = 0; index < count; ++index) {
            wchar_t text[64] = {};
            SendMessageW(Item(id), CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
            texts.push_back(Narrow(text));
        }
        return texts;
    }
    bool Open() const { return IsWindow(window) && IsWindowVisible(window); }
    bool HasFocus(int id) const { return GetFocus() == Item(id); }
};

// ---------------------------------------------------------------------------------
// Screenshots

// Re-encodes a BMP file as PNG through the system's imaging codecs.
bool ConvertToPng(const std::string& bmpPath, const std::string& pngPath)
{
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> target;
    return SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                      reinterpret_cast<void**>(factory.Receive()))) &&
           SUCCEEDED(factory->CreateDecoderFromFilename(Widen(bmpPath).c_str(), nullptr, GENERIC_READ,
                                                        WICDecodeMetadataCacheOnDemand, decoder.Receive())) &&
           SUCCEEDED(decoder->GetFrame(0, frame.Receive())) && SUCCEEDED(factory->CreateStream(stream.Receive())) &&
           SUCCEEDED(stream->InitializeFromFilename(Widen(pngPath).c_str(), GENERIC_WRITE)) &&
           SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.Receive())) &&
           SUCCEEDED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) &&
           SUCCEEDED(encoder->CreateNewFrame(target.Receive(), nullptr)) &&
           SUCCEEDED(target->Initialize(nullptr)) && SUCCEEDED(target->WriteSource(frame.Get(), nullptr)) &&
           SUCCEEDED(target->Commit()) && SUCCEEDED(encoder->Commit());
}

// Saves the window as it is on the screen as NAME.png in the artifacts folder, after
// letting this thread's drawing reach the screen.
bool SaveWindowPng(HWND window, const std::string& name)
{
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    const auto until = std::chrono::steady_clock::now() + 500ms;
    while (std::chrono::steady_clock::now() < until) {
        MSG message;
        // Only drawing: the run's own messages stay queued for it.
        while (PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE))
            DispatchMessageW(&message);
        Sleep(20);
    }
    GdiFlush();
    const TempFolder folder;
    const std::string bmp = folder.File(name + ".bmp");
    return SaveScreen(bmp, window) && ConvertToPng(bmp, ArtifactsFolder(folder.Path()) + "\\" + name + ".png");
}

// Wine draws window frames only on a virtual desktop (Xvfb has no window manager): the
// program's thread moves to a desktop of its own, which wine shows as one, before it
// opens any window.
void UseDesktopWithFrames()
{
    const wchar_t* name = L"SetupDialogTests";
    RegKey(RegistryRoot::CurrentUser, "Software\\Wine\\Explorer\\Desktops", true, RegAccessAll)[Narrow(name)] =
        "800x600";
    if (HDESK desktop = CreateDesktopW(name, nullptr, nullptr, 0, GENERIC_ALL, nullptr))
        SetThreadDesktop(desktop);
}

// ---------------------------------------------------------------------------------
// Fixture

// The service page's window stands in as the dialogs' owner, with an icon of its own.
class OwnerWindow {
public:
    OwnerWindow()
        : window_(CreateWindowExW(0, L"STATIC", L"Диспенсер", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 200,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr))
    {
        SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(LoadIconW(nullptr, IDI_INFORMATION)));
    }
    ~OwnerWindow() { DestroyWindow(window_); }
    OwnerWindow(const OwnerWindow&) = delete;
    OwnerWindow& operator=(const OwnerWindow&) = delete;

    HWND Get() const { return window_; }
    HICON BigIcon() const { return reinterpret_cast<HICON>(SendMessageW(window_, WM_GETICON, ICON_BIG, 0)); }

private:
    HWND window_;
};

class SetupDialogTest : public ::testing::Test {
protected:
    // Once for the program, before its first window.
    static void SetUpTestSuite()
    {
        static const bool prepared = [] {
            UseDesktopWithFrames();
            CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            INITCOMMONCONTROLSEX classes{sizeof classes, ICC_UPDOWN_CLASS};
            return InitCommonControlsEx(&classes) != FALSE;
        }();
        ASSERT_TRUE(prepared);
    }

    SetupDialogTest()
    {
        previousPrompt_ = SetOperatorPromptHook([this](const OperatorPrompt& prompt) {
            prompts_.push_back(prompt.text);
            return ButtonOk;
        });
    }
    ~SetupDialogTest() override { SetOperatorPromptHook(previousPrompt_); }

    static RegKey Key(const std::string& subkey)
    {
        const std::string path = std::string(DispenserControl::kSettingsKey) + (subkey.empty() ? "" : "\\" + subkey);
        return RegKey(RegistryRoot::LocalMachine, path, true, RegAccessAll);
    }
    static RegKey CassetteKey(int number) { return Key("Cassette\\" + std::to_string(number)); }

    // A cassette of 1000-rouble notes: 250 tracked, at most 40 a payout, 10 kept.
    static void StoreFullCassette(int number)
    {
        RegKey cassette = CassetteKey(number);
        cassette["Denomination"] = 1000;
        cassette["Count"] = 250;
        cassette["Max Dispense"] = 40;
        cassette["Min Amount"] = 10;
        cassette["Flags"] = 0xF; // in use, counted, both limits
    }

    bool RunCassette(const std::string& title, int number, std::function<void(const DialogView&)> act)
    {
        OperatorScript script([&](HWND dialog) { act(DialogView{dialog}); });
        const bool ok = Plugin::RunCassetteSetup(owner_.Get(), title, number);
        EXPECT_TRUE(script.Acted());
        EXPECT_FALSE(script.TimedOut()) << "the dialog stayed open";
        return ok;
    }
    bool RunReject(std::function<void(const DialogView&)> act)
    {
        OperatorScript script([&](HWND dialog) { act(DialogView{dialog}); });
        const bool ok = Plugin::RunRejectSetup(owner_.Get());
        EXPECT_TRUE(script.Acted());
        EXPECT_FALSE(script.TimedOut()) << "the dialog stayed open";
        return ok;
    }

    TestRegistry registry_;
    OwnerWindow owner_;
    std::vector<std::string> prompts_;
    OperatorPromptHook previousPrompt_;
};

// ---------------------------------------------------------------------------------
// The framework's modal run

using DialogExecuteTest = SetupDialogTest;

TEST_F(DialogExecuteTest, RunsModallyOverItsOwnerAndReturnsTheEndCode)
{
    DDialog dialog(OwnModuleHandle(), L"DispenserRejectSetupDialog");
    HWND shown = nullptr;
    bool ownerDisabled = false;
    HWND ownerSeen = nullptr;
    OperatorScript script([&](HWND window) {
        shown = window;
        ownerDisabled = !IsWindowEnabled(owner_.Get());
        ownerSeen = GetWindow(window, GW_OWNER);
        dialog.EndDialog(7);
    });
    EXPECT_EQ(dialog.Execute(owner_.Get()), 7);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(ownerSeen, owner_.Get());
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(IsWindowEnabled(owner_.Get()));
    EXPECT_FALSE(IsWindow(shown)); // destroyed with the run
    EXPECT_EQ(dialog.Window(), nullptr);

    // The object can run again; Esc's Cancel ends the run with 2.
    OperatorScript again([&](HWND window) { SendMessageW(window, WM_COMMAND, IDCANCEL, 0); });
    EXPECT_EQ(dialog.Execute(owner_.Get()), IDCANCEL);
    EXPECT_TRUE(again.Acted());
}

// A run nested in another on the same thread (a host's call dispatched while a payout's
// dialog runs): each end message belongs to its run, whichever order they finish in.
class NestedRuns {
public:
    explicit NestedRuns(bool outerEndsFirst) : outerEndsFirst_(outerEndsFirst) {}
    NestedRuns(const NestedRuns&) = delete;
    NestedRuns& operator=(const NestedRuns&) = delete;

    DDialog outer{OwnModuleHandle(), L"DispenserRejectSetupDialog"};
    DDialog inner{OwnModuleHandle(), L"DispenserRejectSetupDialog"};
    int innerCode = 0;

private:
    void Step()
    {
        // Unwinds whatever runs, so that a fault fails the test instead of hanging it.
        if (++ticks_ > 500) {
            PostThreadMessageW(GetCurrentThreadId(), kEndModalRunMessage, static_cast<WPARAM>(-1), 0);
            return;
        }
        switch (step_++) {
        case 0:
            innerCode = inner.Execute(outer.Window()); // the nested run, inside this tick
            if (!outerEndsFirst_)
                outer.EndDialog(5);
            break;
        case 1:
            if (outerEndsFirst_)
                outer.EndDialog(5);
            else
                inner.EndDialog(6);
            break;
        case 2:
            if (outerEndsFirst_)
                inner.EndDialog(6);
            break;
        default:
            break;
        }
    }

    bool outerEndsFirst_;
    int step_ = 0;
    int ticks_ = 0;
    ThreadTimer timer_{20, [this] { Step(); }};
};

TEST_F(DialogExecuteTest, NestedRunsEachEndWithTheirOwnCode)
{
    for (const bool outerEndsFirst : {true, false}) {
        SCOPED_TRACE(outerEndsFirst ? "the outer run ends first" : "the inner run ends first");
        NestedRuns runs(outerEndsFirst);
        EXPECT_EQ(runs.outer.Execute(owner_.Get()), 5);
        EXPECT_EQ(runs.innerCode, 6);
    }
}

TEST_F(DialogExecuteTest, MissingTemplateRaisesAndLeavesTheOwnerEnabled)
{
    DDialog dialog(OwnModuleHandle(), L"NoSuchDialogTemplate");
    EXPECT_THROW(dialog.Execute(owner_.Get()), WindowsError);
    EXPECT_TRUE(IsWindowEnabled(owner_.Get()));
}

// ---------------------------------------------------------------------------------
// The cassette dialog

using CassetteSetupTest = SetupDialogTest;

TEST_F(CassetteSetupTest, OpensWithTheStoredValuesAndCancelWritesNothing)
{
    StoreFullCassette(1);
    const bool ok = RunCassette("Параметры верхней кассеты", 1, [&](const DialogView& view) {
        EXPECT_EQ(view.Title(), "Параметры верхней кассеты");
        EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(view.window, WM_GETICON, ICON_BIG, 0)), owner_.BigIcon());
        EXPECT_EQ(view.ListTexts(IDC_CASSETTE_DENOMINATION),
                  (std::vector<std::string>{"5", "10", "50", "100", "500", "1000", "5000"}));
        EXPECT_EQ(view.Selection(IDC_CASSETTE_DENOMINATION), 5);
        EXPECT_TRUE(view.Checked(IDC_CASSETTE_COUNTED));
        EXPECT_EQ(view.Text(IDC_CASSETTE_COUNT), "250");
        EXPECT_TRUE(view.Checked(IDC_CASSETTE_MAX_DISPENSE_ON));
        EXPECT_EQ(view.Text(IDC_CASSETTE_MAX_DISPENSE), "40");
        EXPECT_TRUE(view.Checked(IDC_CASSETTE_MIN_AMOUNT_ON));
        EXPECT_EQ(view.Text(IDC_CASSETTE_MIN_AMOUNT), "10");
        for (int id : {IDC_CASSETTE_COUNT, IDC_CASSETTE_COUNT_SPIN, IDC_CASSETTE_MAX_DISPENSE,
                       IDC_CASSETTE_MAX_DISPENSE_SPIN, IDC_CASSETTE_MIN_AMOUNT_ON, IDC_CASSETTE_MIN_AMOUNT,
                       IDC_CASSETTE_MIN_AMOUNT_SPIN, IDOK})
            EXPECT_TRUE(view.Enabled(id)) << id;
        int low = -1, high = 0;
        SendMessageW(view.Item(IDC_CASSETTE_COUNT_SPIN), UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low),
                     reinterpret_cast<LPARAM>(&high));
        EXPECT_EQ(low, 0);
        EXPECT_EQ(high, 2147483647);
        EXPECT_TRUE(SaveWindowPng(view.window, "cassette-setup-dialog"));

        view.Choose(IDC_CASSETTE_DENOMINATION, 6);
        view.Type(IDC_CASSETTE_COUNT, "7");
        view.Click(IDCANCEL);
    });
    EXPECT_FALSE(ok);
    RegKey cassette = CassetteKey(1);
    EXPECT_EQ(cassette.ReadDword("Denomination"), 1000u);
    EXPECT_EQ(cassette.ReadDword("Count"), 250u);
    EXPECT_TRUE(prompts_.empty());
}

TEST_F(CassetteSetupTest, DenominationOutsideTheListIsAppendedSelectedAndKept)
{
    StoreFullCassette(2);
    CassetteKey(2)["Denomination"] = 200;
    EXPECT_TRUE(RunCassette("Параметры нижней кассеты", 2, [](const DialogView& view) {
        const auto texts = view.ListTexts(IDC_CASSETTE_DENOMINATION);
        ASSERT_EQ(texts.size(), 8u);
        EXPECT_EQ(texts.back(), "200");
        EXPECT_EQ(view.Selection(IDC_CASSETTE_DENOMINATION), 7);
        view.Click(IDOK);
    }));
    RegKey cassette = CassetteKey(2);
    EXPECT_EQ(cassette.ReadDword("Denomination"), 200u);
    EXPECT_EQ(cassette.ReadDword("Flags"), 0xFu);
    EXPECT_EQ(CassetteKey(1).ValueNames().size(), 0u); // the other cassette is not touched
}

TEST_F(CassetteSetupTest, NoDenominationKeepsOkDisabledUntilOneIsChosen)
{
    CassetteKey(1)["Count"] = 3;
    EXPECT_TRUE(RunCassette("", 1, [](const DialogView& view) {
        EXPECT_EQ(view.Title(), "Параметры кассеты");
        EXPECT_EQ(view.Selection(IDC_CASSETTE_DENOMINATION), CB_ERR);
        EXPECT_EQ(view.ListTexts(IDC_CASSETTE_DENOMINATION).size(), 7u);
        EXPECT_FALSE(view.Enabled(IDOK));
        // Nothing tracked, no limit: only the two check boxes that switch them are open.
        EXPECT_FALSE(view.Enabled(IDC_CASSETTE_COUNT));
        EXPECT_FALSE(view.Enabled(IDC_CASSETTE_MIN_AMOUNT_ON));
        EXPECT_FALSE(view.Enabled(IDC_CASSETTE_MAX_DISPENSE));
        view.Choose(IDC_CASSETTE_DENOMINATION, 4);
        EXPECT_TRUE(view.Enabled(IDOK));
        view.Click(IDOK);
    }));
    RegKey cassette = CassetteKey(1);
    EXPECT_EQ(cassette.ReadDword("Denomination"), 500u);
    EXPECT_EQ(cassette.ReadDword("Count"), 3u);
    EXPECT_EQ(cassette.ReadDword("Flags"), 0u);
    EXPECT_FALSE(cassette.HasValue("Max Dispense")); // a limit that is off keeps no value
}

TEST_F(CassetteSetupTest, UntrackedCountLeavesCountAndReserveAsStored)
{
    StoreFullCassette(1);
    EXPECT_TRUE(RunCassette("Параметры кассеты", 1, [](const DialogView& view) {
        view.Click(IDC_CASSETTE_COUNTED);
        for (int id : {IDC_CASSETTE_COUNT, IDC_CASSETTE_COUNT_SPIN, IDC_CASSETTE_MIN_AMOUNT_ON,
                       IDC_CASSETTE_MIN_AMOUNT, IDC_CASSETTE_MIN_AMOUNT_SPIN})
            EXPECT_FALSE(view.Enabled(id)) << id;
        EXPECT_TRUE(view.Checked(IDC_CASSETTE_MIN_AMOUNT_ON)); // disabled, not cleared
        EXPECT_TRUE(view.Enabled(IDC_CASSETTE_MAX_DISPENSE));
        // Fields that are not used are not read either.
        view.Type(IDC_CASSETTE_COUNT, "");
        view.Type(IDC_CASSETTE_MIN_AMOUNT, "-1");
        view.Type(IDC_CASSETTE_MAX_DISPENSE, "25");
        view.Click(IDOK);
    }));
    RegKey cassette = CassetteKey(1);
    EXPECT_EQ(cassette.ReadDword("Count"), 250u);
    EXPECT_EQ(cassette.ReadDword("Min Amount"), 10u);
    EXPECT_EQ(cassette.ReadDword("Max Dispense"), 25u);
    EXPECT_EQ(cassette.ReadDword("Flags"), 0xDu); // only "counted" cleared; the reserve's bit stays
    EXPECT_TRUE(prompts_.empty());
}

TEST_F(CassetteSetupTest, OkWritesWhatWasEdited)
{
    CassetteKey(2)["Flags"] = 0x101; // in use, and a bit this program does not know
    EXPECT_TRUE(RunCassette("Параметры нижней кассеты", 2, [](const DialogView& view) {
        view.Choose(IDC_CASSETTE_DENOMINATION, 3);
        view.Click(IDC_CASSETTE_COUNTED);
        view.Type(IDC_CASSETTE_COUNT, "1500");
        view.Click(IDC_CASSETTE_MAX_DISPENSE_ON);
        view.Type(IDC_CASSETTE_MAX_DISPENSE, "4294967295"); // the largest a DWORD holds
        view.Click(IDC_CASSETTE_MIN_AMOUNT_ON);
        view.Type(IDC_CASSETTE_MIN_AMOUNT, " 20 ");
        view.Click(IDOK);
    }));
    RegKey cassette = CassetteKey(2);
    EXPECT_EQ(cassette.ReadDword("Denomination"), 100u);
    EXPECT_EQ(cassette.ReadDword("Count"), 1500u);
    EXPECT_EQ(cassette.ReadDword("Max Dispense"), 4294967295u);
    EXPECT_EQ(cassette.ReadDword("Min Amount"), 20u);
    EXPECT_EQ(cassette.ReadDword("Flags"), 0x10Fu);
    EXPECT_TRUE(prompts_.empty());

    // Switching the limits off again clears their bits and keeps their values.
    EXPECT_TRUE(RunCassette("", 2, [](const DialogView& view) {
        EXPECT_EQ(view.Text(IDC_CASSETTE_MAX_DISPENSE), "4294967295");
        view.Click(IDC_CASSETTE_MAX_DISPENSE_ON);
        view.Click(IDC_CASSETTE_MIN_AMOUNT_ON);
        view.Click(IDOK);
    }));
    EXPECT_EQ(cassette.ReadDword("Flags"), 0x103u);
    EXPECT_EQ(cassette.ReadDword("Min Amount"), 20u);
}

// A count entered while a pass is in doubt is the technician's reconciliation: it
// leaves a RECONCILED record and settles the cassette's notes in doubt.
TEST_F(CassetteSetupTest, ACountEnteredWhileAPassIsInDoubtSettlesIt)
{
    StoreFullCassette(1);
    const TempFolder folder;
    Key("")["LogDir"] = folder.File("journal");
    DispenserLogHandler::Release();
    {
        DispenserControl::Settings store(true);
        DispenserControl::PendingPass pass;
        pass.operation = "Dispense";
        pass.asked[0] = 5;
        DispenserControl::WritePendingPass(store, pass);
    }
    EXPECT_TRUE(RunCassette("", 1, [](const DialogView& view) {
        view.Type(IDC_CASSETTE_COUNT, "246");
        view.Click(IDOK);
    }));
    EXPECT_EQ(CassetteKey(1).ReadDword("Count"), 246u);
    EXPECT_FALSE(Key("").HasSubkey("Pending"));
    const std::string journalFile = DispenserLogHandler::Instance()->OperationsLog().GetLogPath();
    const std::string journal = ReadFileBytes(journalFile);
    EXPECT_NE(journal.find("\tRECONCILED\t246\t"), std::string::npos) << journal;
    EXPECT_NE(journal.find("ожидалось от 245 до 250 шт."), std::string::npos) << journal;

    // Without a pass in doubt an unchanged count is no news; a changed one is a COUNT.
    EXPECT_TRUE(RunCassette("", 1, [](const DialogView& view) { view.Click(IDOK); }));
    EXPECT_TRUE(RunCassette("", 1, [](const DialogView& view) {
        view.Type(IDC_CASSETTE_COUNT, "240");
        view.Click(IDOK);
    }));
    const std::string after = ReadFileBytes(journalFile);
    EXPECT_EQ(after.find("\tCOUNT\t246\t"), std::string::npos) << after;
    EXPECT_NE(after.find("\tCOUNT\t240\t"), std::string::npos) << after;
    DispenserLogHandler::Release();
}

// A refused field: the box names the fault, the focus goes to the field, the dialog
// stays open, and nothing at all is written, not even the fields before it.
TEST_F(CassetteSetupTest, RefusedNumberKeepsTheDialogOpenAndWritesNothing)
{
    struct Case {
        int field;
        std::string text;
        std::string message;
    };
    const std::vector<Case> cases{
        {IDC_CASSETTE_COUNT, "", "Ошибка формата числа: Текст не является числом: \"\""},
        {IDC_CASSETTE_COUNT, "-5", "Ошибка формата числа: число \"-5\" вне допустимого диапазона от 0 до 4294967295"},
        {IDC_CASSETTE_MAX_DISPENSE, "4294967296",
         "Ошибка формата числа: число \"4294967296\" вне допустимого диапазона от 0 до 4294967295"},
        {IDC_CASSETTE_MIN_AMOUNT, "1.5", "Ошибка формата числа: Текст не является числом: \"1.5\""},
    };
    for (const Case& refused : cases) {
        SCOPED_TRACE(refused.text);
        StoreFullCassette(1);
        prompts_.clear();
        bool stayedOpen = false;
        bool focused = false;
        EXPECT_FALSE(RunCassette("", 1, [&](const DialogView& view) {
            view.Choose(IDC_CASSETTE_DENOMINATION, 1);
            view.Type(IDC_CASSETTE_COUNT, "99");
            view.Type(refused.field, refused.text);
            view.Click(IDOK);
            stayedOpen = view.Open();
            focused = view.HasFocus(refused.field);
            view.Click(IDCANCEL);
        }));
        EXPECT_EQ(prompts_, std::vector<std::string>{refused.message});
        EXPECT_TRUE(stayedOpen);
        EXPECT_TRUE(focused);
        RegKey cassette = CassetteKey(1);
        EXPECT_EQ(cassette.ReadDword("Denomination"), 1000u);
        EXPECT_EQ(cassette.ReadDword("Count"), 250u);
        EXPECT_EQ(cassette.ReadDword("Flags"), 0xFu);
    }

    // Corrected, the same edit goes through.
    prompts_.clear();
    EXPECT_TRUE(RunCassette("", 1, [](const DialogView& view) {
        view.Type(IDC_CASSETTE_COUNT, "-5");
        view.Click(IDOK);
        view.Type(IDC_CASSETTE_COUNT, "300");
        view.Click(IDOK);
    }));
    EXPECT_EQ(prompts_.size(), 1u);
    EXPECT_EQ(CassetteKey(1).ReadDword("Count"), 300u);
}

TEST_F(CassetteSetupTest, CassetteNumberOtherThanOneOrTwoIsRefused)
{
    EXPECT_THROW(Plugin::RunCassetteSetup(owner_.Get(), "", 3), InvalidValue);
    EXPECT_TRUE(IsWindowEnabled(owner_.Get()));
}

// ---------------------------------------------------------------------------------
// The reject-bin dialog

using RejectSetupTest = SetupDialogTest;

TEST_F(RejectSetupTest, ResetThenCancelKeepsTheCountAndResetThenOkStoresZero)
{
    RegKey reject = Key("Reject");
    reject["Count"] = 37;
    reject["Max Limit"] = 100;
    reject["Flags"] = 0x5; // counted, limit on
    EXPECT_FALSE(RunReject([&](const DialogView& view) {
        EXPECT_EQ(view.Title(), "Подсчёт отбракованных купюр");
        EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(view.window, WM_GETICON, ICON_BIG, 0)), owner_.BigIcon());
        EXPECT_EQ(view.Text(IDC_REJECT_COUNT), "37");
        EXPECT_TRUE(view.Checked(IDC_REJECT_LIMIT_ON));
        EXPECT_EQ(view.Text(IDC_REJECT_LIMIT), "100");
        EXPECT_TRUE(view.Enabled(IDC_REJECT_LIMIT));
        EXPECT_TRUE(SaveWindowPng(view.window, "reject-setup-dialog"));
        view.Click(IDC_REJECT_RESET);
        EXPECT_EQ(view.Text(IDC_REJECT_COUNT), "0");
        view.Click(IDCANCEL);
    }));
    EXPECT_EQ(reject.ReadDword("Count"), 37u);

    EXPECT_TRUE(RunReject([](const DialogView& view) {
        view.Click(IDC_REJECT_RESET);
        view.Click(IDOK);
    }));
    EXPECT_EQ(reject.ReadDword("Count"), 0u);
    EXPECT_EQ(reject.ReadDword("Max Limit"), 100u);
    EXPECT_EQ(reject.ReadDword("Flags"), 0x5u);
    EXPECT_TRUE(prompts_.empty());
}

TEST_F(RejectSetupTest, LimitSwitchedOffIsNeitherReadNorEnforced)
{
    RegKey reject = Key("Reject");
    reject["Count"] = 5;
    reject["Max Limit"] = 100;
    reject["Flags"] = 0x85; // counted, limit on, and a bit this program does not know
    EXPECT_TRUE(RunReject([](const DialogView& view) {
        view.Click(IDC_REJECT_LIMIT_ON);
        EXPECT_FALSE(view.Enabled(IDC_REJECT_LIMIT));
        EXPECT_FALSE(view.Enabled(IDC_REJECT_LIMIT_SPIN));
        view.Type(IDC_REJECT_LIMIT, "");
        view.Type(IDC_REJECT_COUNT, "12");
        view.Click(IDOK);
    }));
    EXPECT_EQ(reject.ReadDword("Count"), 12u);
    EXPECT_EQ(reject.ReadDword("Max Limit"), 100u);
    EXPECT_EQ(reject.ReadDword("Flags"), 0x81u);

    EXPECT_TRUE(RunReject([](const DialogView& view) {
        EXPECT_FALSE(view.Enabled(IDC_REJECT_LIMIT));
        view.Click(IDC_REJECT_LIMIT_ON);
        EXPECT_TRUE(view.Enabled(IDC_REJECT_LIMIT));
        view.Type(IDC_REJECT_LIMIT, "250");
        view.Click(IDOK);
    }));
    EXPECT_EQ(reject.ReadDword("Max Limit"), 250u);
    EXPECT_EQ(reject.ReadDword("Flags"), 0x85u);
}

TEST_F(RejectSetupTest, RefusedLimitKeepsTheDialogOpenAndWritesNothing)
{
    RegKey reject = Key("Reject");
    reject["Count"] = 8;
    reject["Max Limit"] = 50;
    reject["Flags"] = 0x5;
    bool stayedOpen = false;
    bool focused = false;
    EXPECT_FALSE(RunReject([&](const DialogView& view) {
        view.Click(IDC_REJECT_RESET);
        view.Type(IDC_REJECT_LIMIT, "-1");
        view.Click(IDOK);
        stayedOpen = view.Open();
        focused = view.HasFocus(IDC_REJECT_LIMIT);
        view.Click(IDCANCEL);
    }));
    EXPECT_EQ(prompts_, std::vector<std::string>{
                            "Ошибка формата числа: число \"-1\" вне допустимого диапазона от 0 до 4294967295"});
    EXPECT_TRUE(stayedOpen);
    EXPECT_TRUE(focused);
    EXPECT_EQ(reject.ReadDword("Count"), 8u);
    EXPECT_EQ(reject.ReadDword("Max Limit"), 50u);

    // An emptied count is refused the same way, with the focus in the count.
    prompts_.clear();
    EXPECT_FALSE(RunReject([&](const DialogView& view) {
        view.Type(IDC_REJECT_COUNT, "");
        view.Type(IDC_REJECT_LIMIT, "70");
        view.Click(IDOK);
        stayedOpen = view.Open();
        focused = view.HasFocus(IDC_REJECT_COUNT);
        view.Click(IDCANCEL);
    }));
    EXPECT_EQ(prompts_, std::vector<std::string>{"Ошибка формата числа: Текст не является числом: \"\""});
    EXPECT_TRUE(stayedOpen);
    EXPECT_TRUE(focused);
    EXPECT_EQ(reject.ReadDword("Count"), 8u);
    EXPECT_EQ(reject.ReadDword("Max Limit"), 50u);
}

// A registry failure inside the dialog is shown, not only traced, and the dialog stays.
TEST_F(RejectSetupTest, StoreFailureIsShownToTheOperator)
{
    Key("Reject")["Flags"] = "not a number";
    Key("Reject")["Count"] = 8;
    bool stayedOpen = false;
    EXPECT_FALSE(RunReject([&](const DialogView& view) {
        view.Type(IDC_REJECT_COUNT, "0");
        view.Click(IDOK);
        stayedOpen = view.Open();
        view.Click(IDCANCEL);
    }));
    EXPECT_TRUE(stayedOpen);
    ASSERT_EQ(prompts_.size(), 2u); // on opening and on Ok
    EXPECT_FALSE(prompts_[0].empty());
    EXPECT_EQ(prompts_[0], prompts_[1]);
    // Nothing was written before the failure.
    EXPECT_EQ(Key("Reject").ReadDword("Count"), 8u);
}

} // namespace
