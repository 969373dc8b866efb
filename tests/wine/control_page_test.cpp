// The service page as the host's control application shows it: the test plays the
// host (its control site creates the page window from the template and forwards the
// window's commands to the page) and the operator (message boxes are answered by a
// prompt hook, controls are changed with the messages a user's clicks send).
#include "Plugin/Dispenser/counter_records.h"
#include "Plugin/Dispenser/dispenser_log.h"
#include "Plugin/Dispenser/settings.h"
#include "Plugin/Dispenser/ui/scenario_dialog.h"
#include "Plugin/Plugin/com/control_plugin.h"
#include "control_page_ids.h"
#include "framework/messages.h"
#include "framework/win32/co_string.h"
#include "framework/win32/wide_text.h"
#include "tests/support/screenshot.h"
#include "tests/support/simulated_dispenser.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_registry.h"
#include "tests/support/thread_timer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>

namespace {

using namespace DispenserControl;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using Texts = std::vector<std::string>;
using Snapshot = std::map<std::string, std::string>;

std::string Text(HWND window)
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return Narrow(text);
}

// Every value below the dispenser's key, "subkey\name" -> text.
void Collect(const RegKey& key, const std::string& prefix, Snapshot& into)
{
    for (const std::string& name : key.ValueNames()) {
        const auto data = key.Read(name);
        into[prefix + name] = data->type == RegValueType::Dword ? std::to_string(data->dword) : data->text;
    }
    for (const std::string& sub : key.SubkeyNames())
        Collect(RegKey(key, sub, false, RegAccessRead), prefix + sub + "\\", into);
}

Snapshot Stored()
{
    Snapshot snapshot;
    Collect(RegKey(RegistryRoot::LocalMachine, kSettingsKey, false, RegAccessRead), "", snapshot);
    return snapshot;
}

// The host's side of a page: it makes the page window from the template the page
// names and passes the window's commands and help requests on.
class TestSite final : public TallivoxObject2<ITallivoxControlSite> {
public:
    TestSite(ITypeInfo* typeInfo, HWND host) : TallivoxObject2<ITallivoxControlSite>(typeInfo), host_(host) {}

    HRESULT STDMETHODCALLTYPE AddPage(IUnknown* page, BSTR /*modulePath*/, BSTR templateName) override
    {
        page->QueryInterface(__uuidof(ITallivoxControlPage), reinterpret_cast<void**>(page_.Receive()));
        window_ = CreateDialogParamW(GetModuleHandleW(nullptr), templateName, host_, &TestSite::PageProcedure,
                                     reinterpret_cast<LPARAM>(this));
        if (window_ == nullptr || !page_)
            return E_FAIL;
        SetWindowPos(window_, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        ShowWindow(window_, SW_SHOW);
        LONG attached = 0;
        return page_->Attach(static_cast<LONG>(reinterpret_cast<LONG_PTR>(window_)), &attached);
    }
    HRESULT STDMETHODCALLTYPE SetModified(LONG /*window*/, LONG modified) override
    {
        if (modified != 0)
            ++modifications;
        return S_OK;
    }

    HWND Window() const { return window_; }
    ITallivoxControlPage* Page() const { return page_.Get(); }
    void Forget()
    {
        if (window_ != nullptr)
            DestroyWindow(window_);
        window_ = nullptr;
        page_ = {};
    }

    int modifications = 0;

private:
    static INT_PTR CALLBACK PageProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_INITDIALOG) {
            SetWindowLongPtrW(window, DWLP_USER, lParam);
            return TRUE;
        }
        auto* site = reinterpret_cast<TestSite*>(GetWindowLongPtrW(window, DWLP_USER));
        if (site == nullptr || !site->page_)
            return FALSE;
        LONG handled = 0;
        if (message == WM_COMMAND) {
            site->page_->Command(HIWORD(wParam), LOWORD(wParam), static_cast<LONG>(lParam), &handled);
            return TRUE;
        }
        if (message == WM_HELP) {
            const auto* info = reinterpret_cast<const HELPINFO*>(lParam);
            site->page_->Help(static_cast<LONG>(reinterpret_cast<LONG_PTR>(info->hItemHandle)), &handled);
            return TRUE;
        }
        return FALSE;
    }

    HWND host_;
    HWND window_ = nullptr;
    TVXDK::Tallivox::ComPtr<ITallivoxControlPage> page_;
};

class ControlPageTest : public ::testing::Test {
protected:
    ControlPageTest()
    {
        DispenserLogHandler::Release();
        // The page's operations run under the operator dialog, as in the plug-in module.
        previousRunner_ = DispenserScenario::SetDialogRunner(&DispenserScenario::RunUnderDialog);
        previousHook_ = SetOperatorPromptHook([this](const OperatorPrompt& prompt) {
            prompts_.push_back(prompt);
            if (onPrompt_)
                onPrompt_(prompt);
            if (answers_.empty())
                return CautiousButton(prompt.style);
            const int answer = answers_.front();
            answers_.pop_front();
            return answer;
        });
        RegKey ports(RegistryRoot::LocalMachine, "HARDWARE\\DEVICEMAP\\SERIALCOMM", true, RegAccessAll);
        for (const std::string& name : ports.ValueNames()) {
            savedPorts_[name] = *ports.Read(name);
            ports.DeleteValue(name);
        }
    }
    ~ControlPageTest() override
    {
        if (site_)
            site_->Forget();
        site_ = {};
        if (host_ != nullptr)
            DestroyWindow(host_);
        SetOperatorPromptHook(previousHook_);
        DispenserScenario::SetDialogRunner(previousRunner_);
        RegKey ports(RegistryRoot::LocalMachine, "HARDWARE\\DEVICEMAP\\SERIALCOMM", true, RegAccessAll);
        for (const std::string& name : ports.ValueNames())
            ports.DeleteValue(name);
        for (const auto& [name, data] : savedPorts_)
            ports.Write(name, data);
        DispenserLogHandler::Release();
    }

    static RegKey Key(const std::string& subkey = {})
    {
        return RegKey(RegistryRoot::LocalMachine, std::string(kSettingsKey) + (subkey.empty() ? "" : "\\" + subkey),
                      true, RegAccessAll);
    }

    // An LCDM-2000 (or the model given) on the simulator's port, both cassettes in use.
    void Configure(const std::string& model = "LCDM-2000")
    {
        RegKey key = Key();
        key["Device"] = model;
        key["Off"] = 0;
        key["Port"] = device_.PortName();
        key["BaudRate"] = 9600;
        key["FlowControl"] = 1;
        key["DebugLog"] = folder_.File("trace.txt");
        key["LogDir"] = folder_.File("journal");
        key["ReadTotalTimeoutConstant"] = 300;
        key["DeviceResponseTimeout"] = 3000;
        key["Flags"] = 0x4;
        key["Max"] = 20000;
        const unsigned denominations[] = {1000, 500};
        for (int number = 1; number <= 2; ++number) {
            RegKey cassette = Key(number == 1 ? "Cassette\\1" : "Cassette\\2");
            cassette["Denomination"] = denominations[number - 1];
            cassette["Count"] = 100;
            cassette["Flags"] = 3;
        }
        RegKey reject = Key("Reject");
        reject["Count"] = 0;
        reject["Flags"] = 1;
    }
    void SystemPort(const std::string& name, const std::string& port)
    {
        RegKey(RegistryRoot::LocalMachine, "HARDWARE\\DEVICEMAP\\SERIALCOMM", true, RegAccessAll)
            .Write(name, RegData::String(port));
    }

    // The page in a host window; shown on the screen only for screenshots.
    // The host window, the site and the page; the result of the plug-in's CreatePages.
    HRESULT CreatePages()
    {
        host_ = CreateWindowExW(WS_EX_CONTROLPARENT, L"STATIC", L"Kiosk control", WS_OVERLAPPEDWINDOW, 40, 40, 460, 420,
                                nullptr, nullptr, nullptr, nullptr);
        const auto siteTypes = Automation::GetTallivexTypeInfo(__uuidof(ITallivoxControlSite));
        site_ = TVXDK::Tallivox::ComPtr<TestSite>(new TestSite(siteTypes.Get(), host_), false);
        const auto pluginTypes = Automation::GetTallivexTypeInfo(__uuidof(ITallivoxControlPlugin));
        const TVXDK::Tallivox::ComPtr<Plugin::ControlPlugin> plugin(new Plugin::ControlPlugin(pluginTypes.Get()),
                                                                     false);
        return plugin->CreatePages(static_cast<ITallivoxControlSite*>(site_.Get()));
    }
    void Open(bool visible = false)
    {
        ASSERT_EQ(CreatePages(), S_OK);
        ASSERT_NE(host_, nullptr);
        ASSERT_NE(site_->Window(), nullptr);
        if (visible) {
            ShowWindow(host_, SW_SHOW);
            RedrawWindow(host_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
            // Lets the controls finish painting before anyone takes a picture.
            for (int round = 0; round < 20; ++round) {
                MSG message;
                while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                    DispatchMessageW(&message);
                Sleep(10);
            }
        }
    }

    HWND Control(int id) const { return GetDlgItem(site_->Window(), id); }
    std::string TextOf(int id) const { return Text(Control(id)); }
    bool Enabled(int id) const { return IsWindowEnabled(Control(id)) != FALSE; }
    bool Shown(int id) const { return (GetWindowLongW(Control(id), GWL_STYLE) & WS_VISIBLE) != 0; }
    bool Checked(int id) const { return IsDlgButtonChecked(site_->Window(), id) == BST_CHECKED; }
    Texts Items(int id) const
    {
        Texts items;
        const auto count = SendMessageW(Control(id), CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            std::wstring item(static_cast<std::size_t>(SendMessageW(Control(id), CB_GETLBTEXTLEN, i, 0)) + 1, L'\0');
            item.resize(static_cast<std::size_t>(
                SendMessageW(Control(id), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()))));
            items.push_back(Narrow(item));
        }
        return items;
    }

    // What a user's click on a check box or button sends the page.
    void Click(int id)
    {
        const LONG style = GetWindowLongW(Control(id), GWL_STYLE) & BS_TYPEMASK;
        if (style == BS_AUTOCHECKBOX)
            CheckDlgButton(site_->Window(), id, Checked(id) ? BST_UNCHECKED : BST_CHECKED);
        SendMessageW(site_->Window(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Control(id)));
    }
    void Select(int id, const std::string& item)
    {
        SendMessageW(Control(id), CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(Widen(item).c_str()));
        SendMessageW(site_->Window(), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(Control(id)));
    }
    void Type(int id, const std::string& text) { SetWindowTextW(Control(id), Widen(text).c_str()); }

    // The page's Apply; true when it wrote the settings.
    bool Apply(bool interactive = true)
    {
        LONG applied = 0;
        EXPECT_EQ(site_->Page()->Apply(interactive ? 1 : 0, 0, &applied), S_OK);
        return applied != 0;
    }

    Texts PromptTexts() const
    {
        Texts texts;
        for (const OperatorPrompt& prompt : prompts_)
            texts.push_back(prompt.text);
        return texts;
    }

    TestRegistry registry_;
    TempFolder folder_;
    SimulatedDispenser device_;
    HWND host_ = nullptr;
    TVXDK::Tallivox::ComPtr<TestSite> site_;
    std::deque<int> answers_;
    std::function<void(const OperatorPrompt&)> onPrompt_; // runs while the box would be up
    std::vector<OperatorPrompt> prompts_;
    OperatorPromptHook previousHook_;
    DispenserScenario::DialogRunner previousRunner_;
    std::map<std::string, RegData> savedPorts_;
};

TEST_F(ControlPageTest, LoadsTheStoredSettingsIntoTheControls)
{
    Configure();
    SystemPort("\\Device\\Serial9", "COM10");
    SystemPort("\\Device\\Serial1", "COM2");
    SystemPort("\\Device\\UsbSer0", "USBSER");
    SystemPort("\\Device\\Odd", "");
    RegKey(RegistryRoot::LocalMachine, "HARDWARE\\DEVICEMAP\\SERIALCOMM", true, RegAccessAll)
        .Write("\\Device\\Number", RegData::Dword(7));
    Open();
    EXPECT_TRUE(Checked(IDC_PAGE_ENABLED));
    EXPECT_FALSE(Checked(IDC_PAGE_DEBUG));
    EXPECT_EQ(Items(IDC_PAGE_MODEL), (Texts{"LCDM-1000", "LCDM-2000"}));
    EXPECT_EQ(TextOf(IDC_PAGE_MODEL), "LCDM-2000");
    // The configured port (COM1 under wine) joins the system's, in numeric order.
    EXPECT_EQ(Items(IDC_PAGE_PORT), (Texts{"COM1", "COM2", "COM10", "USBSER"}));
    EXPECT_EQ(TextOf(IDC_PAGE_PORT), device_.PortName());
    EXPECT_EQ(Items(IDC_PAGE_BAUD).size(), 14u);
    EXPECT_EQ(TextOf(IDC_PAGE_BAUD), "9600");
    EXPECT_EQ(Items(IDC_PAGE_FLOW), (Texts{"нет", "XON-XOFF", "аппаратное"}));
    EXPECT_TRUE(Checked(IDC_PAGE_CASSETTE1));
    EXPECT_TRUE(Checked(IDC_PAGE_CASSETTE2));
    EXPECT_EQ(TextOf(IDC_PAGE_CASSETTE1_SUMMARY), "1000 руб. * 100 шт.");
    EXPECT_EQ(TextOf(IDC_PAGE_CASSETTE2_SUMMARY), "500 руб. * 100 шт.");
    EXPECT_TRUE(Checked(IDC_PAGE_AMOUNT_LIMIT));
    EXPECT_EQ(TextOf(IDC_PAGE_MAX_AMOUNT), "20000");
    EXPECT_TRUE(Checked(IDC_PAGE_REJECT));
    EXPECT_EQ(TextOf(IDC_PAGE_CASSETTE1), "Верхняя кассета");
    // Filling the controls is not a change of the operator's.
    EXPECT_EQ(site_->modifications, 0);
    EXPECT_TRUE(prompts_.empty());
}

TEST_F(ControlPageTest, UnknownModelsAndOutOfListValuesAreShownAsStored)
{
    Configure("LCDM-3000");
    Key()["BaudRate"] = 12345;
    Key()["FlowControl"] = 0;
    Open();
    EXPECT_EQ(Items(IDC_PAGE_MODEL), (Texts{"LCDM-1000", "LCDM-2000", "LCDM-3000"}));
    EXPECT_EQ(TextOf(IDC_PAGE_MODEL), "LCDM-3000");
    EXPECT_EQ(TextOf(IDC_PAGE_BAUD), "");
    EXPECT_EQ(TextOf(IDC_PAGE_FLOW), "нет");

    // The bit rate is the first field refused; nothing is written.
    const Snapshot before = Stored();
    EXPECT_FALSE(Apply());
    EXPECT_EQ(PromptTexts(), (Texts{"Поле \"бит/с\": ошибка формата целого числа (\"\")"}));
    EXPECT_EQ(prompts_.back().caption, "Диспенсер");
    EXPECT_EQ(Stored(), before);

    // With a rate chosen, the unknown model is refused before anything is written.
    Select(IDC_PAGE_BAUD, "19200");
    prompts_.clear();
    EXPECT_FALSE(Apply());
    EXPECT_EQ(PromptTexts(), (Texts{"Устройство не поддерживается: LCDM-3000"}));
    EXPECT_EQ(Stored(), before);

    // Flow control 4 is no mode either.
    site_->Forget();
    Key()["FlowControl"] = 4;
    Open();
    EXPECT_EQ(TextOf(IDC_PAGE_FLOW), "нет");
}

TEST_F(ControlPageTest, ControlsFollowTheOperatorsChoices)
{
    Configure("LCDM-1000");
    Open();
    // An LCDM-1000 has one cassette: the second row is hidden.
    EXPECT_EQ(TextOf(IDC_PAGE_CASSETTE1), "Кассета");
    EXPECT_FALSE(Shown(IDC_PAGE_CASSETTE2));
    EXPECT_FALSE(Shown(IDC_PAGE_CASSETTE2_SETUP));
    EXPECT_TRUE(Enabled(IDC_PAGE_LINK_TEST));

    Select(IDC_PAGE_MODEL, "LCDM-2000");
    EXPECT_EQ(site_->modifications, 1);
    EXPECT_TRUE(Shown(IDC_PAGE_CASSETTE2));
    EXPECT_EQ(TextOf(IDC_PAGE_CASSETTE1), "Верхняя кассета");

    // Debug mode: no port controls, yet purge and test payout stay at hand.
    Click(IDC_PAGE_DEBUG);
    for (int id : {IDC_PAGE_PORT, IDC_PAGE_BAUD, IDC_PAGE_FLOW, IDC_PAGE_PORT_LABEL, IDC_PAGE_LINK_TEST})
        EXPECT_FALSE(Shown(id)) << id;
    EXPECT_TRUE(Enabled(IDC_PAGE_PURGE));
    EXPECT_TRUE(Enabled(IDC_PAGE_TEST_PAYOUT));
    // "Show Test Anyway" keeps the link test in debug mode.
    Key()["Show Test Anyway"] = 1;
    Click(IDC_PAGE_AMOUNT_LIMIT);
    EXPECT_TRUE(Shown(IDC_PAGE_LINK_TEST));
    EXPECT_TRUE(Enabled(IDC_PAGE_LINK_TEST));
    EXPECT_FALSE(Enabled(IDC_PAGE_MAX_AMOUNT));

    // The dispenser out of use: only its check box is left to change.
    Click(IDC_PAGE_ENABLED);
    EXPECT_TRUE(Enabled(IDC_PAGE_ENABLED));
    for (int id : {IDC_PAGE_DEBUG, IDC_PAGE_MODEL, IDC_PAGE_CASSETTE1, IDC_PAGE_CASSETTE1_SETUP, IDC_PAGE_REJECT,
                   IDC_PAGE_AMOUNT_LIMIT})
        EXPECT_FALSE(Enabled(id)) << id;
    EXPECT_FALSE(Shown(IDC_PAGE_CASSETTE1));
    EXPECT_GE(site_->modifications, 4);

    // A typed amount marks the page modified.
    const int before = site_->modifications;
    Type(IDC_PAGE_MAX_AMOUNT, "15000");
    EXPECT_EQ(site_->modifications, before + 1);
}

TEST_F(ControlPageTest, ApplyWritesTheOperatorsValues)
{
    Configure();
    Open();
    Select(IDC_PAGE_BAUD, "19200");
    Select(IDC_PAGE_FLOW, "аппаратное");
    Type(IDC_PAGE_MAX_AMOUNT, "15000");
    Click(IDC_PAGE_REJECT);
    Click(IDC_PAGE_CASSETTE2);
    EXPECT_TRUE(Apply());
    EXPECT_TRUE(prompts_.empty()) << ::testing::PrintToString(PromptTexts());
    RegKey key = Key();
    EXPECT_EQ(key.ReadDword("Disabled"), 0u);
    EXPECT_EQ(key.ReadDword("BaudRate"), 19200u);
    EXPECT_EQ(key.ReadDword("FlowControl"), 3u);
    EXPECT_EQ(key.ReadDword("Max"), 15000u);
    EXPECT_EQ(Key("Cassette\\2").ReadDword("Flags") & kCassetteInUse, 0u);
    EXPECT_EQ(Key("Reject").ReadDword("Flags") & kRejectCounted, 0u);
    // The counters are the setup dialogs' business, not the page's.
    EXPECT_EQ(Key("Cassette\\1").ReadDword("Count"), 100u);

    // A negative limit would be read as four billion roubles: refused.
    Type(IDC_PAGE_MAX_AMOUNT, "-5");
    EXPECT_FALSE(Apply());
    EXPECT_THAT(PromptTexts().back(), StartsWith("Поле \"Максимальная выдача\": "));
    EXPECT_EQ(Key().ReadDword("Max"), 15000u);
}

// Apply writes only what the page shows: flag bits of other owners survive, a limit
// switched off keeps its amount, and an LCDM-1000 leaves the second cassette alone.
TEST_F(ControlPageTest, ApplyKeepsWhatThePageDoesNotShow)
{
    constexpr unsigned kForeignBit = 0x100;
    Configure("LCDM-1000");
    Key()["Flags"] = 0x4 | kForeignBit;
    Key()["Off"] = 1;
    Key("Cassette\\1")["Flags"] = 3 | kForeignBit;
    Key("Cassette\\2")["Flags"] = 3 | kForeignBit;
    Key("Reject")["Flags"] = 1 | kForeignBit;
    Open();
    Click(IDC_PAGE_AMOUNT_LIMIT);
    EXPECT_TRUE(Apply());
    EXPECT_TRUE(prompts_.empty()) << ::testing::PrintToString(PromptTexts());

    RegKey key = Key();
    EXPECT_EQ(key.ReadDword("Flags"), kForeignBit);
    EXPECT_EQ(key.ReadDword("Max"), 20000u);
    EXPECT_FALSE(key.HasValue("Max Change"));
    EXPECT_EQ(key.ReadString("Device"), "LCDM-1000");
    EXPECT_EQ(key.ReadDword("Off"), 0u);
    EXPECT_EQ(key.ReadString("Port"), device_.PortName());
    EXPECT_EQ(Key("Cassette\\1").ReadDword("Flags"), 3 | kForeignBit);
    EXPECT_EQ(Key("Cassette\\2").ReadDword("Flags"), 3 | kForeignBit);
    EXPECT_EQ(Key("Reject").ReadDword("Flags"), 1 | kForeignBit);

    // Switched on again, the limit is stored under both of its names.
    Click(IDC_PAGE_AMOUNT_LIMIT);
    Type(IDC_PAGE_MAX_AMOUNT, "12000");
    EXPECT_TRUE(Apply());
    EXPECT_EQ(Key().ReadDword("Flags"), 0x4 | kForeignBit);
    EXPECT_EQ(Key().ReadDword("Max"), 12000u);
    EXPECT_EQ(Key().ReadDword("Max Change"), 12000u);
}

// A stored flag value that cannot be read fails Apply before anything is written.
TEST_F(ControlPageTest, UnreadableFlagsFailApplyBeforeAnyWrite)
{
    Configure();
    Open();
    Click(IDC_PAGE_DEBUG);
    Select(IDC_PAGE_BAUD, "19200");
    Key("Reject")["Flags"] = "not a number";
    const Snapshot before = Stored();
    LONG applied = 0;
    EXPECT_TRUE(FAILED(site_->Page()->Apply(1, 0, &applied)));
    EXPECT_EQ(applied, 0);
    EXPECT_EQ(Stored(), before);
}

TEST_F(ControlPageTest, AnUnusedDispenserOnlyRecordsThatItIsOff)
{
    Configure();
    Key()["Debug"] = 1;
    Open();
    Click(IDC_PAGE_ENABLED);
    Snapshot expected = Stored();
    expected["Disabled"] = "1";
    EXPECT_TRUE(Apply());
    EXPECT_EQ(Stored(), expected);
    EXPECT_TRUE(prompts_.empty());

    // Debug mode leaves the stored port as it was.
    Click(IDC_PAGE_ENABLED);
    Key()["Port"] = "COM7";
    EXPECT_TRUE(Apply());
    EXPECT_EQ(Key().ReadString("Port"), "COM7");
    EXPECT_EQ(Key().ReadDword("Disabled"), 0u);
}

TEST_F(ControlPageTest, NoCassetteInUseIsWarnedOfOnce)
{
    Configure();
    Open();
    Click(IDC_PAGE_CASSETTE1);
    Click(IDC_PAGE_CASSETTE2);
    const Snapshot before = Stored();
    answers_ = {ButtonCancel};
    EXPECT_FALSE(Apply());
    ASSERT_EQ(prompts_.size(), 1u);
    EXPECT_EQ(prompts_[0].text, "Отключены обе кассеты диспенсера (купюры выдаваться не будут).\r\n"
                                "Отмена - вернуться к настройке");
    EXPECT_EQ(prompts_[0].style, MB_OKCANCEL | MB_ICONEXCLAMATION);
    EXPECT_EQ(Stored(), before);

    // Cancel did not count as seen: asked again, and OK writes.
    answers_ = {ButtonOk};
    EXPECT_TRUE(Apply());
    EXPECT_EQ(prompts_.size(), 2u);
    EXPECT_EQ(Key("Cassette\\1").ReadDword("Flags") & kCassetteInUse, 0u);
    // Shown once: the next Apply writes without asking.
    EXPECT_TRUE(Apply());
    EXPECT_EQ(prompts_.size(), 2u);

    // A change of the model asks again; without an operator at hand it only tells.
    Select(IDC_PAGE_MODEL, "LCDM-1000");
    EXPECT_TRUE(Apply(false));
    ASSERT_EQ(prompts_.size(), 3u);
    EXPECT_EQ(prompts_[2].text, "Отключена кассета диспенсера (купюры выдаваться не будут).");
    EXPECT_EQ(prompts_[2].style, MB_ICONEXCLAMATION);
}

TEST_F(ControlPageTest, MissingModelOrPortIsRefusedWithItsField)
{
    Configure();
    Key()["Device"] = "";
    Key()["Port"] = "";
    Open();
    const Snapshot before = Stored();
    EXPECT_FALSE(Apply());
    EXPECT_EQ(PromptTexts(), (Texts{"Не выбрана модель устройства"}));
    Select(IDC_PAGE_MODEL, "LCDM-2000");
    EXPECT_FALSE(Apply());
    EXPECT_EQ(PromptTexts().back(), "Не выбран порт подключения диспенсера");
    EXPECT_EQ(Stored(), before);
    // The service checks collect the same way and stop there.
    prompts_.clear();
    Click(IDC_PAGE_LINK_TEST);
    EXPECT_EQ(PromptTexts(), (Texts{"Не выбран порт подключения диспенсера"}));
    EXPECT_EQ(device_.Truth().commands, 0u);
}

TEST_F(ControlPageTest, TickingACassetteWithoutDenominationOpensItsSetup)
{
    Configure();
    Key("Cassette\\2")["Denomination"] = 0;
    Key("Cassette\\2")["Flags"] = 0;
    Open();
    EXPECT_FALSE(Checked(IDC_PAGE_CASSETTE2));
    // A timer of the modal run cancels the setup dialog as soon as it is up.
    std::string seen;
    {
        const ThreadTimer watcher(50, [&seen] {
            for (const wchar_t* caption : {L"Параметры нижней кассеты", L"Параметры кассеты"}) {
                if (HWND dialog = FindWindowW(L"#32770", caption)) {
                    seen = Narrow(caption);
                    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
                }
            }
        });
        Click(IDC_PAGE_CASSETTE2);
    }
    EXPECT_EQ(seen, "Параметры нижней кассеты");
    EXPECT_FALSE(Checked(IDC_PAGE_CASSETTE2));
}

TEST_F(ControlPageTest, LinkTestShowsVersionAndStatusOrOffersARepeat)
{
    Configure();
    Open();
    Click(IDC_PAGE_LINK_TEST);
    ASSERT_EQ(prompts_.size(), 2u) << ::testing::PrintToString(PromptTexts());
    EXPECT_THAT(prompts_[0].text, StartsWith("Версия прошивки диспенсера: "));
    EXPECT_EQ(prompts_[0].style, MB_ICONINFORMATION);
    EXPECT_THAT(prompts_[1].text, StartsWith("Статус диспенсера:\r\nERROR:\t\t30 (\""));
    EXPECT_THAT(prompts_[1].text, HasSubstr("\r\nSENSOR0:\t"));
    EXPECT_THAT(prompts_[1].text, HasSubstr("\r\nSENSOR1:\t"));
    EXPECT_EQ(prompts_[1].owner, site_->Window());

    // The values on the page are tested, not the stored ones: a port with no device
    // fails, and Retry runs the test again.
    SystemPort("\\Device\\Serial8", "COM8");
    site_->Forget();
    Open();
    Select(IDC_PAGE_PORT, "COM8");
    prompts_.clear();
    answers_ = {ButtonRetry, ButtonCancel};
    Click(IDC_PAGE_LINK_TEST);
    ASSERT_EQ(prompts_.size(), 2u);
    for (const OperatorPrompt& prompt : prompts_)
        EXPECT_THAT(prompt.text, StartsWith("Ошибка опроса версии прошивки диспенсера:\r\n"));
    EXPECT_EQ(Key().ReadString("Port"), device_.PortName());
}

// The version read, a failing status query reports under its own heading, and Retry
// starts the whole test again with the version.
TEST_F(ControlPageTest, LinkTestReportsAFailedStatusQuery)
{
    Configure();
    Open();
    int versionBoxes = 0;
    onPrompt_ = [&](const OperatorPrompt& prompt) {
        if (prompt.text.rfind("Версия прошивки диспенсера: ", 0) == 0 && ++versionBoxes == 1)
            device_.Fault("silent:1");
    };
    answers_ = {ButtonOk, ButtonRetry};
    Click(IDC_PAGE_LINK_TEST);
    ASSERT_EQ(prompts_.size(), 4u) << ::testing::PrintToString(PromptTexts());
    EXPECT_THAT(prompts_[1].text, StartsWith("Ошибка опроса статуса диспенсера:\r\n"));
    EXPECT_THAT(prompts_[2].text, StartsWith("Версия прошивки диспенсера: "));
    EXPECT_THAT(prompts_[3].text, StartsWith("Статус диспенсера:\r\n"));
    EXPECT_EQ(versionBoxes, 2);
}

TEST_F(ControlPageTest, PurgeReportsItsOutcome)
{
    Configure();
    Open();
    Click(IDC_PAGE_PURGE);
    EXPECT_EQ(PromptTexts(), (Texts{"Прогон механизма диспенсера успешно выполнен"}));

    device_.Fault("silent:1");
    prompts_.clear();
    answers_ = {ButtonRetry, ButtonCancel};
    Click(IDC_PAGE_PURGE);
    ASSERT_EQ(prompts_.size(), 2u) << ::testing::PrintToString(PromptTexts());
    EXPECT_THAT(prompts_[0].text, StartsWith("Ошибка прогона механизма диспенсера:\r\n"));
}

TEST_F(ControlPageTest, TestPayoutSendsANoteOfEachCassetteToTheBin)
{
    Configure();
    Open();
    Click(IDC_PAGE_TEST_PAYOUT);
    EXPECT_EQ(PromptTexts(),
              (Texts{"Тест выдачи купюр выполнен успешно (в контейнер \"Reject\" всего выдано купюр: 2 шт.)"}));
    const SimulatorTruth truth = device_.Truth();
    EXPECT_EQ(truth.rejectBin, 2u);
    EXPECT_EQ(Key("Reject").ReadDword("Count"), 2u);
    EXPECT_EQ(TextOf(IDC_PAGE_REJECT_SUMMARY), "2 шт.");
}

TEST_F(ControlPageTest, AFailedTestPayoutOffersAbortRetryAndIgnore)
{
    Configure();
    Open();
    device_.Fault("missing:1");
    // Abort: the lower cassette is not tried either.
    answers_ = {ButtonAbort};
    Click(IDC_PAGE_TEST_PAYOUT);
    ASSERT_EQ(prompts_.size(), 2u) << ::testing::PrintToString(PromptTexts());
    EXPECT_THAT(prompts_[0].text, StartsWith("Ошибка теста выдачи купюр верхней кассеты:\r\n"));
    EXPECT_EQ(prompts_[0].style, MB_ABORTRETRYIGNORE | MB_ICONSTOP | MB_DEFBUTTON2);
    EXPECT_EQ(prompts_[1].text,
              "Тест выдачи купюр выполнен с ошибками (в контейнер \"Reject\" всего выдано купюр: 0 шт.)");
    EXPECT_EQ(prompts_[1].style, MB_ICONEXCLAMATION);
    EXPECT_EQ(device_.Truth().rejected2, 0u);

    // Ignore: the lower cassette goes on.
    prompts_.clear();
    answers_ = {ButtonIgnore};
    Click(IDC_PAGE_TEST_PAYOUT);
    ASSERT_EQ(prompts_.size(), 2u);
    EXPECT_EQ(prompts_[1].text,
              "Тест выдачи купюр выполнен с ошибками (в контейнер \"Reject\" всего выдано купюр: 1 шт.)");
    EXPECT_EQ(device_.Truth().rejected2, 1u);
}

// A stored value that cannot be read fails the page's Attach half-way. Apply on that
// page (a property sheet may call it) refuses, instead of writing the controls it never
// filled: here the reject count would be switched off.
TEST_F(ControlPageTest, ApplyAfterAFailedAttachRefusesAndWritesNothing)
{
    Configure();
    Key()["Flags"] = 0;          // the amount limit off: its field is not needed
    Key()["Max"] = "много";      // read by Attach, and it cannot be
    EXPECT_NE(CreatePages(), S_OK);
    ASSERT_NE(site_->Page(), nullptr);
    LONG applied = 1;
    EXPECT_EQ(site_->Page()->Apply(1, 0, &applied), S_OK);
    EXPECT_EQ(applied, 0);
    EXPECT_EQ(PromptTexts(), Texts{"Настройки диспенсера не были прочитаны полностью, сохранение невозможно"});
    EXPECT_EQ(Key("Reject").ReadDword("Flags"), 1u) << "the reject count stays on";
    EXPECT_EQ(Key().ReadDword("Flags"), 0u);
}

// A test payout whose answer is lost leaves its note in doubt: the page says so and
// how to settle it, until a count does.
TEST_F(ControlPageTest, APassInDoubtIsShownUntilACountSettlesIt)
{
    Configure();
    Key()["DeviceResponseTimeout"] = 300;
    Open();
    EXPECT_EQ(TextOf(IDC_PAGE_DOUBT), "");
    device_.Fault("mute:1");
    answers_ = {ButtonAbort};
    Click(IDC_PAGE_TEST_PAYOUT);
    ASSERT_EQ(prompts_.size(), 2u) << ::testing::PrintToString(PromptTexts());
    EXPECT_THAT(prompts_[0].text, HasSubstr("Результат выдачи неизвестен"));
    EXPECT_THAT(TextOf(IDC_PAGE_DOUBT), HasSubstr("кассета #1: 1 шт., кассета #2: 0 шт.): выдача запрещена до сверки"));
    EXPECT_EQ(Key("Cassette\\1").ReadDword("Count"), 100u);

    Settings store(true);
    ReconcileCassette(store, 1, device_.Truth().cassette1, *DispenserLogHandler::Instance());
    site_->Forget();
    site_ = {};
    DestroyWindow(std::exchange(host_, nullptr));
    Open();
    EXPECT_EQ(TextOf(IDC_PAGE_DOUBT), "");
}

// Retry on the upper cassette runs it again and, when that succeeds, the test counts as
// passed; a failing lower cassette offers a repeat and ends the test with errors.
TEST_F(ControlPageTest, TestPayoutRetriesEachCassetteOnRequest)
{
    Configure();
    Open();
    device_.Fault("silent:1");
    answers_ = {ButtonRetry};
    Click(IDC_PAGE_TEST_PAYOUT);
    ASSERT_EQ(prompts_.size(), 2u) << ::testing::PrintToString(PromptTexts());
    EXPECT_THAT(prompts_[0].text, StartsWith("Ошибка теста выдачи купюр верхней кассеты:\r\n"));
    EXPECT_EQ(prompts_[1].text,
              "Тест выдачи купюр выполнен успешно (в контейнер \"Reject\" всего выдано купюр: 2 шт.)");
    EXPECT_EQ(prompts_[1].style, MB_ICONINFORMATION);
    EXPECT_EQ(device_.Truth().rejectBin, 2u);

    device_.Fault("missing:2");
    prompts_.clear();
    answers_ = {ButtonRetry, ButtonCancel};
    Click(IDC_PAGE_TEST_PAYOUT);
    ASSERT_EQ(prompts_.size(), 3u) << ::testing::PrintToString(PromptTexts());
    EXPECT_THAT(prompts_[0].text, StartsWith("Ошибка теста выдачи купюр нижней кассеты:\r\n"));
    EXPECT_THAT(prompts_[1].text, StartsWith("Ошибка теста выдачи купюр нижней кассеты:\r\n"));
    EXPECT_EQ(prompts_[2].text,
              "Тест выдачи купюр выполнен с ошибками (в контейнер \"Reject\" всего выдано купюр: 1 шт.)");
    EXPECT_EQ(prompts_[2].style, MB_ICONEXCLAMATION);
    EXPECT_EQ(Key("Reject").ReadDword("Count"), 3u);
    EXPECT_EQ(TextOf(IDC_PAGE_REJECT_SUMMARY), "3 шт.");
    EXPECT_EQ(TextOf(IDC_PAGE_CASSETTE1_SUMMARY), "1000 руб. * 98 шт.");
}

// In debug mode no port is needed: purge and the test payout run without the device,
// and Apply leaves the port settings as stored.
TEST_F(ControlPageTest, DebugModeNeedsNoPort)
{
    Configure();
    RegKey key = Key();
    key["Debug"] = 1;
    key.DeleteValue("Port");
    key["Off"] = 1;
    Open();
    EXPECT_EQ(TextOf(IDC_PAGE_PORT), "");
    EXPECT_TRUE(Enabled(IDC_PAGE_PURGE));
    EXPECT_TRUE(Enabled(IDC_PAGE_TEST_PAYOUT));
    // Debug mode asks the operator for the outcome instead of the device.
    answers_ = {ButtonYes};
    Click(IDC_PAGE_PURGE);
    EXPECT_EQ(PromptTexts(), (Texts{"Прогон механизма диспенсера считаем успешным?",
                                    "Прогон механизма диспенсера успешно выполнен"}));
    EXPECT_EQ(device_.Truth().commands, 0u);

    EXPECT_TRUE(Apply());
    EXPECT_FALSE(Key().HasValue("Port"));
    EXPECT_EQ(Key().ReadDword("Off"), 1u);
    EXPECT_EQ(Key().ReadDword("Debug"), 1u);
}

// Without a help file beside the module, help on any control shows nothing, says
// nothing, and still counts as handled.
TEST_F(ControlPageTest, HelpWithoutAHelpFileIsSilentlyHandled)
{
    Configure();
    Open();
    for (int id : {IDC_PAGE_MODEL, IDC_PAGE_PURGE, IDC_PAGE_MAX_AMOUNT_SPIN}) {
        LONG handled = 0;
        EXPECT_EQ(site_->Page()->Help(static_cast<LONG>(reinterpret_cast<LONG_PTR>(Control(id))), &handled), S_OK);
        EXPECT_EQ(handled, 1) << id;
    }
    EXPECT_TRUE(prompts_.empty());
}

TEST_F(ControlPageTest, ScreenshotsOfThePageForBothModels)
{
    const std::string folder = ArtifactsFolder(folder_.Path());
    Configure();
    Open(true);
    EXPECT_TRUE(SaveScreen(folder + "\\control-page-lcdm2000.bmp", host_));
    site_->Forget();
    DestroyWindow(host_);
    Configure("LCDM-1000");
    Open(true);
    EXPECT_TRUE(SaveScreen(folder + "\\control-page-lcdm1000.bmp", host_));
}

} // namespace
