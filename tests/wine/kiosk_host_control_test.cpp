// kiosk-host's control application with a page of the test's own: the site takes only
// pages it can show, the page window reaches the page object (Attach, commands, help,
// Detach), a change turns the sheet's Apply button on, and a refused Apply keeps the
// sheet open. The sheet is run by the unattended operator, late-bound and through the
// vtable.
#include "framework/win32/wide_text.h"
#include "tools/kiosk-host/com_text.h"
#include "tools/kiosk-host/control_sheet.h"
#include "tools/kiosk-host/host_control_site.h"
#include "tools/kiosk-host/host_session.h"
#include "tools/kiosk-host/host_type_library.h"
#include "tools/kiosk-host/program_path.h"
#include "tools/kiosk-host/window_number.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <objbase.h>
#include <prsht.h>

#include <deque>
#include <vector>

namespace {

using Microsoft::WRL::ComPtr;

constexpr wchar_t kTemplate[] = L"KioskHostTestPage";
constexpr int kCheckBox = 100;
// The sheet's Apply button: the same identifier in Windows and in wine.
constexpr int kApplyButton = 0x3021;

// A page that records the host's calls. A click on its check box reports to the site
// a change (checked) or the stored state (unchecked); Apply answers from `applyAnswers` (1 when empty), a negative answer
// failing the call.
class FakePage final : public HostObject<ITallivoxControlPage> {
public:
    FakePage(ComPtr<ITypeInfo> typeInfo, ITallivoxControlSite* site) : HostObject(std::move(typeInfo)), site_(site) {}

    HRESULT STDMETHODCALLTYPE Attach(LONG pageWindow, LONG* result) override
    {
        window = WindowOfNumber(pageWindow);
        *result = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Detach(LONG* result) override
    {
        ++detaches;
        *result = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Command(LONG code, LONG id, LONG control, LONG* handled) override
    {
        commands.push_back({code, id, WindowOfNumber(control)});
        if (id == kCheckBox && code == BN_CLICKED)
            site_->SetModified(WindowNumber(window), IsDlgButtonChecked(window, kCheckBox) == BST_CHECKED ? 1 : 0);
        *handled = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Help(LONG control, LONG* handled) override
    {
        helps.push_back(WindowOfNumber(control));
        *handled = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Apply(LONG interactive, LONG, LONG* applied) override
    {
        applies.push_back(interactive);
        const int answer = applyAnswers.empty() ? 1 : applyAnswers.front();
        if (!applyAnswers.empty())
            applyAnswers.pop_front();
        if (answer < 0)
            return E_FAIL;
        *applied = answer;
        return S_OK;
    }

    struct CommandRecord {
        LONG code;
        LONG id;
        HWND control;
    };
    HWND window = nullptr;
    int detaches = 0;
    std::vector<CommandRecord> commands;
    std::vector<HWND> helps;
    std::vector<LONG> applies;
    std::deque<int> applyAnswers;

private:
    ITallivoxControlSite* site_;
};

class ControlSheetTest : public ::testing::Test {
protected:
    ControlSheetTest() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~ControlSheetTest() override
    {
        site_->ReleasePages();
        site_.Reset();
        CoUninitialize();
    }

    // A page of the test program's template added to the site.
    ComPtr<FakePage> AddFakePage()
    {
        const auto page = MakeHostObject<FakePage>(types_.TypeInfo(__uuidof(ITallivoxControlPage)), site_.Get());
        EXPECT_EQ(site_->AddPage(page.Get(), MakeBstr(Narrow(ProgramPath().wstring())).get(),
                                 MakeBstr(Narrow(kTemplate)).get()),
                  S_OK);
        return page;
    }

    static bool ApplyEnabled(HWND sheet) { return IsWindowEnabled(GetDlgItem(sheet, kApplyButton)) != FALSE; }

    HostTypeLibrary types_;
    ComPtr<HostControlSite> site_ =
        MakeHostObject<HostControlSite>(types_.TypeInfo(__uuidof(ITallivoxControlSite)));
    PluginCaller caller_;
};

TEST_F(ControlSheetTest, TheSiteTakesOnlyPagesItCanShow)
{
    const std::string program = Narrow(ProgramPath().wstring());
    const auto page = MakeHostObject<FakePage>(types_.TypeInfo(__uuidof(ITallivoxControlPage)), site_.Get());
    const auto notAPage = MakeHostObject<HostSession>(types_.TypeInfo(__uuidof(ITallivoxSession)));
    const auto add = [&](IUnknown* object, const std::string& module, const std::string& name) {
        return site_->AddPage(object, MakeBstr(module).get(), MakeBstr(name).get());
    };
    EXPECT_EQ(add(nullptr, program, "KioskHostTestPage"), E_POINTER);
    EXPECT_EQ(add(notAPage.Get(), program, "KioskHostTestPage"), E_NOINTERFACE);
    EXPECT_EQ(add(page.Get(), "", "KioskHostTestPage"), E_INVALIDARG);
    EXPECT_EQ(add(page.Get(), program, ""), E_INVALIDARG);
    EXPECT_TRUE(FAILED(add(page.Get(), program + ".missing", "KioskHostTestPage")));
    EXPECT_EQ(add(page.Get(), program, "NoSuchPage"), HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_TRUE(site_->Pages().empty());
    EXPECT_EQ(add(page.Get(), program, "KioskHostTestPage"), S_OK);
    ASSERT_EQ(site_->Pages().size(), 1u);
    EXPECT_EQ(site_->Pages()[0]->name, "KioskHostTestPage");

    // A change reported for a window that is no open page of the site is refused.
    EXPECT_EQ(site_->SetModified(WindowNumber(GetDesktopWindow()), 1), E_INVALIDARG);
    EXPECT_EQ(site_->SetModified(0, 1), E_INVALIDARG);
}

TEST_F(ControlSheetTest, ThePageWindowReachesThePageByEitherBinding)
{
    for (const Binding binding : {Binding::Vtable, Binding::LateBound}) {
        SCOPED_TRACE(binding == Binding::Vtable ? "vtable" : "late-bound");
        site_->ReleasePages();
        caller_.SetBinding(binding);
        const ComPtr<FakePage> page = AddFakePage();
        ControlSheet sheet(*site_.Get(), caller_);
        HWND checkBox = nullptr;
        bool appliedWhileOpen = false;
        bool applyOnAfterChange = false;
        bool applyOffAfterUndo = false;
        UnattendedOperator unattended([&](HWND window) {
            ASSERT_NE(page->window, nullptr);
            EXPECT_EQ(GetParent(page->window), window);
            EXPECT_FALSE(ApplyEnabled(window));
            checkBox = GetDlgItem(page->window, kCheckBox);
            SendMessageW(checkBox, BM_CLICK, 0, 0);
            applyOnAfterChange = ApplyEnabled(window);
            SendMessageW(checkBox, BM_CLICK, 0, 0);
            applyOffAfterUndo = !ApplyEnabled(window);
            HELPINFO help{sizeof help, HELPINFO_WINDOW, kCheckBox, checkBox, 0, {}};
            SendMessageW(page->window, WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
            PropSheet_Apply(window);
            appliedWhileOpen = page->applies.size() == 1;
            PropSheet_PressButton(window, PSBTN_OK);
        });
        EXPECT_EQ(sheet.Run(nullptr, "Настройка", &unattended), SheetClose::Ok);

        EXPECT_TRUE(applyOnAfterChange);
        EXPECT_TRUE(applyOffAfterUndo);
        EXPECT_TRUE(appliedWhileOpen);
        ASSERT_EQ(page->commands.size(), 2u);
        EXPECT_EQ(page->commands[0].code, BN_CLICKED);
        EXPECT_EQ(page->commands[0].id, kCheckBox);
        EXPECT_EQ(page->commands[0].control, checkBox);
        EXPECT_EQ(page->helps, std::vector<HWND>{checkBox});
        // Apply, then OK applies once more; always on the operator's behalf.
        EXPECT_EQ(page->applies, (std::vector<LONG>{1, 1}));
        EXPECT_EQ(page->detaches, 1);
        EXPECT_EQ(sheet.RefusedApplies(), 0);
        EXPECT_FALSE(unattended.ForcedToCancel());
        EXPECT_FALSE(caller_.AnyCallFailed());
        // Closed, the page is no window of the site any more.
        EXPECT_EQ(site_->Pages()[0]->window, nullptr);
        EXPECT_EQ(site_->SetModified(WindowNumber(page->window), 1), E_INVALIDARG);
    }
}

TEST_F(ControlSheetTest, ARefusedOrFailedApplyKeepsTheSheetOpen)
{
    const ComPtr<FakePage> page = AddFakePage();
    page->applyAnswers = {0, -1};
    ControlSheet sheet(*site_.Get(), caller_);
    int refusedFirst = 0;
    bool openAfterRefusals = false;
    int boxAnswer = 0;
    UnattendedOperator unattended([&](HWND window) {
        PropSheet_Apply(window);
        refusedFirst = sheet.RefusedApplies();
        PropSheet_PressButton(window, PSBTN_OK); // the failing Apply keeps it open as well
        openAfterRefusals = IsWindowVisible(window) != FALSE;
        // A box raised meanwhile gets its most cautious answer.
        boxAnswer = MessageBoxW(page->window, L"Сохранить?", L"Проверка", MB_YESNOCANCEL);
        PropSheet_PressButton(window, PSBTN_CANCEL);
    });
    EXPECT_EQ(sheet.Run(nullptr, "Настройка", &unattended), SheetClose::Cancel);

    EXPECT_EQ(refusedFirst, 1);
    EXPECT_TRUE(openAfterRefusals);
    EXPECT_EQ(sheet.RefusedApplies(), 2);
    EXPECT_TRUE(caller_.AnyCallFailed()); // the failed call is reported, not taken for a refusal alone
    EXPECT_EQ(boxAnswer, IDCANCEL);
    EXPECT_EQ(page->applies.size(), 2u); // Cancel applies nothing
    EXPECT_EQ(page->detaches, 1);
}

TEST_F(ControlSheetTest, AnActionThatLeavesTheSheetOpenEndsInCancel)
{
    const ComPtr<FakePage> page = AddFakePage();
    ControlSheet sheet(*site_.Get(), caller_);
    UnattendedOperator unattended([](HWND) {});
    EXPECT_EQ(sheet.Run(nullptr, "Настройка", &unattended), SheetClose::Cancel);
    EXPECT_TRUE(unattended.ForcedToCancel());
    EXPECT_TRUE(page->applies.empty());
}

} // namespace
