#include "Plugin/Plugin/com/dispenser_control_page.h"

#include "Plugin/Dispenser/pending_pass.h"
#include "Plugin/Dispenser/scenario.h"
#include "Plugin/Plugin/com/context_help.h"
#include "Plugin/Plugin/port_list.h"
#include "Plugin/Plugin/com/setup_dialogs.h"
#include "control_page_ids.h"
#include "framework/exceptions.h"
#include "framework/messages.h"
#include "framework/scope_exit.h"
#include "framework/text_format.h"
#include "framework/text_utils.h"
#include "framework/win32/auto_layout.h"
#include "framework/win32/dialog.h"
#include "framework/win32/wide_text.h"

#include <commctrl.h>

#include <array>
#include <limits>

namespace Plugin {

using namespace DispenserControl;

namespace {

constexpr HelpTopic kPageHelp[] = {
    {1456, 12}, {604, 13}, {600, 14}, {601, 14}, {605, 15}, {1496, 15}, {123, 16}, {1455, 16}, {124, 17},
    {125, 17},  {1488, 18}, {606, 19}, {120, 20}, {613, 21}, {607, 19}, {121, 20}, {614, 21}, {623, 22},
    {624, 23},  {625, 23},  {611, 24}, {612, 25}, {615, 26}, {616, 27}, {617, 28}, {0, 0},
};

constexpr std::array<unsigned, 14> kBitRates = {110,   300,   600,   1200,   2400,   4800,   9600,
                                                14400, 19200, 38400, 57600, 115200, 128000, 256000};
constexpr std::array<const char*, 3> kFlowControls = {"нет", "XON-XOFF", "аппаратное"};

constexpr int kSelectionChange = CBN_SELCHANGE; // 1
constexpr int kClick = BN_CLICKED;              // 0
constexpr int kTextChange = EN_CHANGE;          // 0x300

void FillList(HWND combo, const std::vector<std::string>& items)
{
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (const std::string& item : items)
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(item).c_str()));
}

// Selects the item of that text (letter case aside); none when it is not there.
void SelectText(HWND combo, const std::string& text)
{
    const LRESULT index =
        text.empty() ? CB_ERR : SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                             reinterpret_cast<LPARAM>(Widen(text).c_str()));
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void FillPortList(HWND combo, const std::string& current)
{
    FillList(combo, AvailablePorts(current));
    SelectText(combo, current);
}

void FillBaudList(HWND combo, std::int32_t current)
{
    std::vector<std::string> rates;
    for (unsigned rate : kBitRates)
        rates.push_back(FormatText("%u", rate));
    FillList(combo, rates);
    SelectText(combo, current != 0 ? FormatText("%u", static_cast<unsigned>(current)) : std::string());
}

void FillFlowList(HWND combo, std::int32_t current)
{
    FillList(combo, {kFlowControls.begin(), kFlowControls.end()});
    const int position = current >= 1 && current <= 3 ? current - 1 : 0;
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(position), 0);
}

bool IsLcdm2000(const std::string& model)
{
    return EqualsNoCase(model, "LCDM-2000");
}

bool IsSupported(const std::string& model)
{
    for (const std::string& name : Settings::SupportedDevices()) {
        if (EqualsNoCase(model, name))
            return true;
    }
    return false;
}

// "Show Test Anyway": the link test stays at hand in debug mode and without a port.
bool ShowTestAnyway()
{
    const Settings store(false);
    const std::optional<RegData> value = store.Key().Read("Show Test Anyway");
    return value && value->type == RegValueType::Dword && value->dword != 0;
}

// A heading, and the operation's reasons under it.
std::string WithErrors(const std::string& heading, const std::vector<std::string>& errors)
{
    std::string text = heading;
    for (std::size_t i = 0; i < errors.size(); ++i)
        text += (i == 0 ? ":\r\n" : "\r\n") + errors[i];
    return text;
}

// Re-applies the page's layout whenever the host resizes the page window.
class SizeWatch final : public DSubclassWindow {
public:
    SizeWatch(HWND window, AutoLayout& layout) : DSubclassWindow(window, 1), layout_(layout) {}
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_SIZE)
            layout_.Apply();
        return DefaultProcessing(message, wParam, lParam);
    }

private:
    AutoLayout& layout_;
};

} // namespace

DispenserControlPage::DispenserControlPage(ITypeInfo* typeInfo, ITallivoxControlSite* site)
    : ControlPluginPage(typeInfo, site, "Диспенсер")
{
}

DispenserControlPage::~DispenserControlPage() = default;

bool DispenserControlPage::OnAttach(HWND window)
{
    if (!ControlPluginPage::OnAttach(window))
        return false;
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&controls);
    loaded_ = false;
    loading_ = true;
    // A stored value that cannot be read ends the filling half-way: the controls answer
    // the operator again, but Apply will not write what they hold.
    const ScopeExit filled([this] { loading_ = false; });
    Settings store(false);
    Check(IDC_PAGE_ENABLED, store.IsEnabled());
    Check(IDC_PAGE_DEBUG, store.IsDebug());

    std::vector<std::string> models = Settings::SupportedDevices();
    const std::string device = store.GetDevice();
    if (!device.empty() && !IsSupported(device))
        models.push_back(device);
    FillList(GetDlgItem(window, IDC_PAGE_MODEL), models);
    SelectText(GetDlgItem(window, IDC_PAGE_MODEL), device);

    const SerialPortSettings port = store.GetPortSettings();
    FillPortList(GetDlgItem(window, IDC_PAGE_PORT), port.port);
    FillBaudList(GetDlgItem(window, IDC_PAGE_BAUD), port.baudRate);
    FillFlowList(GetDlgItem(window, IDC_PAGE_FLOW), port.flowControl);

    const int model = store.GetModel();
    if (model >= 1) {
        const Cassette cassette(store, 1);
        Check(IDC_PAGE_CASSETTE1, cassette.IsEnabled());
        SetText(IDC_PAGE_CASSETTE1_SUMMARY, cassette.Describe());
    }
    if (model >= 2) {
        const Cassette cassette(store, 2);
        Check(IDC_PAGE_CASSETTE2, cassette.IsEnabled());
        SetText(IDC_PAGE_CASSETTE2_SUMMARY, cassette.Describe());
    }
    const AmountLimit amountLimit(store);
    Check(IDC_PAGE_AMOUNT_LIMIT, amountLimit.IsEnabled());
    SetText(IDC_PAGE_MAX_AMOUNT, FormatText("%u", static_cast<unsigned>(amountLimit.GetValue())));
    SendDlgItemMessageW(window, IDC_PAGE_MAX_AMOUNT_SPIN, UDM_SETRANGE32, 0, std::numeric_limits<std::int32_t>::max());
    const Reject reject(store);
    Check(IDC_PAGE_REJECT, reject.IsCounted());
    SetText(IDC_PAGE_REJECT_SUMMARY, reject.Describe());

    layout_ = std::make_unique<AutoLayout>(window);
    for (int id : {IDC_PAGE_MODEL, IDC_PAGE_PORT, IDC_PAGE_BAUD, IDC_PAGE_FLOW, IDC_PAGE_CASSETTE1_SUMMARY,
                   IDC_PAGE_CASSETTE2_SUMMARY, IDC_PAGE_REJECT_SUMMARY, IDC_PAGE_MAX_AMOUNT})
        layout_->Add(id, AutoLayout::Stretch, AutoLayout::Right, 0, AutoLayout::Right, 0, 0);
    for (int id : {IDC_PAGE_DEBUG, IDC_PAGE_LINK_TEST, IDC_PAGE_CASSETTE1_SETUP, IDC_PAGE_CASSETTE2_SETUP,
                   IDC_PAGE_REJECT_SETUP, IDC_PAGE_MAX_AMOUNT_SPIN, IDC_PAGE_TEST_PAYOUT})
        layout_->Add(id, AutoLayout::Move, AutoLayout::Right, 0, AutoLayout::Right, 0, 0);
    layout_->Add(IDC_PAGE_DOUBT, AutoLayout::Stretch, AutoLayout::Right, 0, AutoLayout::Right, 0, 0);
    sizeWatch_ = std::make_unique<SizeWatch>(window, *layout_);
    loading_ = false;
    loaded_ = true;
    UpdateControls();
    ShowPassInDoubt();
    return true;
}

void DispenserControlPage::ShowPassInDoubt()
{
    const Settings store(false);
    const std::optional<DispenserControl::PendingPass> pass = DispenserControl::ReadPendingPass(store);
    SetText(IDC_PAGE_DOUBT,
            pass ? FormatText("Результат выдачи неизвестен (кассета #1: %u шт., кассета #2: %u шт.): выдача "
                              "запрещена до сверки. Пересчитайте купюры и введите количество в настройке кассеты.",
                              pass->asked[0], pass->asked[1])
                 : std::string());
}

void DispenserControlPage::UpdateControls()
{
    const bool showTest = ShowTestAnyway();
    const bool enabled = IsChecked(IDC_PAGE_ENABLED);
    const bool debug = IsChecked(IDC_PAGE_DEBUG);
    const std::string model = Text(IDC_PAGE_MODEL);
    const bool modelSet = enabled && !model.empty();
    const bool portAllowed = modelSet && !debug;
    const bool lcdm2000 = IsLcdm2000(model);
    const bool portChosen = !Text(IDC_PAGE_PORT).empty();

    Enable(IDC_PAGE_ENABLED, true);
    for (int id : {IDC_PAGE_DEBUG, IDC_PAGE_MODEL_LABEL, IDC_PAGE_MODEL})
        Enable(id, enabled);
    for (int id : {IDC_PAGE_PORT_LABEL, IDC_PAGE_PORT, IDC_PAGE_BAUD_LABEL, IDC_PAGE_BAUD, IDC_PAGE_FLOW_LABEL,
                   IDC_PAGE_FLOW}) {
        Enable(id, portAllowed);
        Show(id, !debug);
    }
    Enable(IDC_PAGE_LINK_TEST, portAllowed || showTest);
    Show(IDC_PAGE_LINK_TEST, !debug || showTest);

    const bool cassette1 = enabled && IsChecked(IDC_PAGE_CASSETTE1);
    Enable(IDC_PAGE_CASSETTE1, enabled);
    SetText(IDC_PAGE_CASSETTE1, lcdm2000 ? "Верхняя кассета" : "Кассета");
    for (int id : {IDC_PAGE_CASSETTE1, IDC_PAGE_CASSETTE1_SUMMARY, IDC_PAGE_CASSETTE1_SETUP})
        Show(id, modelSet);
    Enable(IDC_PAGE_CASSETTE1_SUMMARY, cassette1);
    Enable(IDC_PAGE_CASSETTE1_SETUP, cassette1);

    const bool cassette2 = enabled && modelSet && lcdm2000 && IsChecked(IDC_PAGE_CASSETTE2);
    Enable(IDC_PAGE_CASSETTE2, enabled && lcdm2000);
    SetText(IDC_PAGE_CASSETTE2, lcdm2000 ? "Нижняя кассета" : "Кассета");
    for (int id : {IDC_PAGE_CASSETTE2, IDC_PAGE_CASSETTE2_SUMMARY, IDC_PAGE_CASSETTE2_SETUP})
        Show(id, lcdm2000);
    Enable(IDC_PAGE_CASSETTE2_SUMMARY, cassette2);
    Enable(IDC_PAGE_CASSETTE2_SETUP, cassette2);

    const bool amountLimit = enabled && IsChecked(IDC_PAGE_AMOUNT_LIMIT);
    Enable(IDC_PAGE_AMOUNT_LIMIT, enabled);
    Enable(IDC_PAGE_MAX_AMOUNT, amountLimit);
    Enable(IDC_PAGE_MAX_AMOUNT_SPIN, amountLimit);

    const bool rejectCounted = enabled && IsChecked(IDC_PAGE_REJECT);
    Enable(IDC_PAGE_REJECT, enabled);
    for (int id : {IDC_PAGE_REJECT, IDC_PAGE_REJECT_SUMMARY, IDC_PAGE_REJECT_SETUP})
        Show(id, modelSet);
    Enable(IDC_PAGE_REJECT_SUMMARY, rejectCounted);
    Enable(IDC_PAGE_REJECT_SETUP, rejectCounted);

    Enable(IDC_PAGE_PURGE, portChosen || debug);
    Enable(IDC_PAGE_TEST_PAYOUT, portChosen || debug);
}

void DispenserControlPage::MarkModified()
{
    if (loading_)
        return;
    if (ITallivoxControlSite* site = Site())
        Automation::CheckHostCall(site->SetModified(static_cast<LONG>(reinterpret_cast<LONG_PTR>(GetWindow())), 1),
                                  __FILE_NAME__, __LINE__);
    UpdateControls();
}

bool DispenserControlPage::OnCommand(int code, int id, HWND control)
{
    if (loading_)
        return true;
    switch (id) {
    case IDC_PAGE_MODEL:
        warned_ = false;
        [[fallthrough]];
    case IDC_PAGE_PORT:
    case IDC_PAGE_BAUD:
    case IDC_PAGE_FLOW:
        if (code == kSelectionChange)
            MarkModified();
        return true;
    case IDC_PAGE_CASSETTE1:
    case IDC_PAGE_CASSETTE2:
        warned_ = false;
        [[fallthrough]];
    case IDC_PAGE_ENABLED:
    case IDC_PAGE_DEBUG:
    case IDC_PAGE_REJECT:
    case IDC_PAGE_AMOUNT_LIMIT: {
        MarkModified();
        const std::string model = Text(IDC_PAGE_MODEL);
        if (id == IDC_PAGE_CASSETTE1 && IsSupported(model))
            CassetteCheck(1, IDC_PAGE_CASSETTE1, IDC_PAGE_CASSETTE1_SETUP);
        else if (id == IDC_PAGE_CASSETTE2 && IsLcdm2000(model))
            CassetteCheck(2, IDC_PAGE_CASSETTE2, IDC_PAGE_CASSETTE2_SETUP);
        return true;
    }
    case IDC_PAGE_CASSETTE1_SETUP:
    case IDC_PAGE_CASSETTE2_SETUP:
        if (code == kClick)
            CassetteSetup(id);
        return true;
    case IDC_PAGE_REJECT_SETUP:
        if (code == kClick)
            RejectSetup();
        return true;
    case IDC_PAGE_MAX_AMOUNT:
        if (code == kTextChange)
            MarkModified();
        return true;
    case IDC_PAGE_LINK_TEST:
        LinkTest();
        return true;
    case IDC_PAGE_PURGE:
        Purge();
        return true;
    case IDC_PAGE_TEST_PAYOUT:
        TestPayout();
        return true;
    default:
        return ControlPluginPage::OnCommand(code, id, control);
    }
}

// A cassette put in use without a denomination gets its setup at once; when it
// still has none afterwards, it cannot be in use.
void DispenserControlPage::CassetteCheck(int number, int checkBox, int setupButton)
{
    if (!IsChecked(checkBox))
        return;
    {
        Settings store(false);
        if (Cassette(store, number).GetDenomination() != 0)
            return;
    }
    // Through the page window, as a click on the setup button: the host sees the
    // command too and hands it back to Command, which runs the dialog.
    SendMessageW(GetWindow(), WM_COMMAND, MAKEWPARAM(setupButton, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(GetWindow(), setupButton)));
    Settings store(false);
    if (Cassette(store, number).GetDenomination() == 0) {
        Check(checkBox, false);
        UpdateControls();
    }
}

void DispenserControlPage::CassetteSetup(int button)
{
    const bool lcdm2000 = IsLcdm2000(Text(IDC_PAGE_MODEL));
    const int number = button == IDC_PAGE_CASSETTE1_SETUP ? 1 : 2;
    if (number == 2 && !lcdm2000)
        return;
    const char* title = number == 2 ? "Параметры нижней кассеты"
                        : lcdm2000  ? "Параметры верхней кассеты"
                                    : "Параметры кассеты";
    if (!RunCassetteSetup(GetWindow(), title, number))
        return;
    Settings store(false);
    SetText(number == 1 ? IDC_PAGE_CASSETTE1_SUMMARY : IDC_PAGE_CASSETTE2_SUMMARY, Cassette(store, number).Describe());
    ShowPassInDoubt();
    MarkModified();
}

void DispenserControlPage::RejectSetup()
{
    if (!RunRejectSetup(GetWindow()))
        return;
    Settings store(false);
    SetText(IDC_PAGE_REJECT_SUMMARY, Reject(store).Describe());
    ShowPassInDoubt();
    MarkModified();
}

std::optional<SettingsOverride> DispenserControlPage::CollectValues()
{
    SettingsOverride values;
    values.enabled = IsChecked(IDC_PAGE_ENABLED);
    if (!values.enabled)
        return values;
    const auto refuse = [this](const char* reason, int id) {
        Error(reason);
        FocusControl(id);
        return std::nullopt;
    };
    values.debug = IsChecked(IDC_PAGE_DEBUG);
    values.device = Text(IDC_PAGE_MODEL);
    if (values.device.empty())
        return refuse("Не выбрана модель устройства", IDC_PAGE_MODEL);
    if (!values.debug) {
        values.port.inUse = true;
        values.port.port = Text(IDC_PAGE_PORT);
        if (values.port.port.empty())
            return refuse("Не выбран порт подключения диспенсера", IDC_PAGE_PORT);
        if (!ReadInteger(GetDlgItem(GetWindow(), IDC_PAGE_BAUD), "бит/с", &values.port.baudRate))
            return std::nullopt;
        const LRESULT flow = SendDlgItemMessageW(GetWindow(), IDC_PAGE_FLOW, CB_GETCURSEL, 0, 0);
        values.port.flowControl = static_cast<std::int32_t>(flow == CB_ERR ? 0 : flow + 1);
    }
    values.cassette1 = IsChecked(IDC_PAGE_CASSETTE1);
    values.cassette2 = IsLcdm2000(values.device) && IsChecked(IDC_PAGE_CASSETTE2);
    values.amountLimit = IsChecked(IDC_PAGE_AMOUNT_LIMIT);
    if (values.amountLimit) {
        std::int32_t amount = 0;
        HWND field = GetDlgItem(GetWindow(), IDC_PAGE_MAX_AMOUNT);
        if (!ReadInteger(field, "Максимальная выдача", &amount))
            return std::nullopt;
        // Stored unsigned: a negative limit would allow any payout.
        if (amount < 0) {
            ShowFieldError(field, "Максимальная выдача", "значение не может быть отрицательным.");
            return std::nullopt;
        }
        values.maxAmount = static_cast<std::uint32_t>(amount);
    }
    values.rejectCounted = IsChecked(IDC_PAGE_REJECT);
    return values;
}

void DispenserControlPage::LinkTest()
{
    for (;;) {
        const std::optional<SettingsOverride> values = CollectValues();
        if (!values)
            return;
        std::vector<std::string> errors;
        std::string version;
        if (!DispenserScenario::QueryVersion(GetWindow(), &errors, &version, &*values)) {
            if (Error(WithErrors("Ошибка опроса версии прошивки диспенсера", errors), nullptr, {},
                      kErrorMessageRetry) == ButtonRetry)
                continue;
            return;
        }
        Message("Версия прошивки диспенсера: " + version, MB_ICONINFORMATION);
        errors.clear();
        DispenserStatusInfo status;
        if (!DispenserScenario::QueryStatus(GetWindow(), &errors, &status, &*values)) {
            if (Error(WithErrors("Ошибка опроса статуса диспенсера", errors), nullptr, {}, kErrorMessageRetry) ==
                ButtonRetry)
                continue;
            return;
        }
        Message("Статус диспенсера:\r\n" +
                    FormatText("ERROR:\t\t%02X (\"%s\")\r\n", status.error, status.errorText.c_str()) +
                    FormatText("SENSOR0:\t%02X (\"%s\")\r\n", status.sensor0, status.sensor0Text.c_str()) +
                    FormatText("SENSOR1:\t%02X (\"%s\")\r\n", status.sensor1, status.sensor1Text.c_str()),
                MB_ICONINFORMATION);
        return;
    }
}

void DispenserControlPage::Purge()
{
    for (;;) {
        const std::optional<SettingsOverride> values = CollectValues();
        if (!values)
            return;
        std::vector<std::string> errors;
        if (DispenserScenario::Purge(GetWindow(), &errors, &*values)) {
            Message("Прогон механизма диспенсера успешно выполнен", MB_ICONINFORMATION);
            return;
        }
        if (Error(WithErrors("Ошибка прогона механизма диспенсера", errors), nullptr, {}, kErrorMessageRetry) !=
            ButtonRetry)
            return;
    }
}

void DispenserControlPage::TestPayout()
{
    const std::optional<SettingsOverride> values = CollectValues();
    if (!values)
        return;
    const bool lcdm2000 = IsLcdm2000(values->device);
    // Every note a run sent to the bin counts, a failed run's as well: the total tells
    // the technician what to find in the bin.
    unsigned total = 0;
    bool withErrors = false;
    bool skipSecond = false;
    const auto run = [&](int cassette, std::vector<std::string>& errors) {
        unsigned rejected = 0;
        errors.clear();
        const bool ok = DispenserScenario::TestReject(GetWindow(), &errors, cassette, &rejected, &*values);
        total += rejected;
        return ok;
    };
    std::vector<std::string> errors;
    while (values->cassette1 && !run(1, errors)) {
        const int answer = Message(
            WithErrors(lcdm2000 ? "Ошибка теста выдачи купюр верхней кассеты" : "Ошибка теста выдачи купюр", errors),
            MB_ABORTRETRYIGNORE | MB_ICONSTOP | MB_DEFBUTTON2);
        if (answer == ButtonRetry)
            continue;
        withErrors = true;
        skipSecond = answer != ButtonIgnore;
        break;
    }
    {
        Settings store(false, &*values);
        SetText(IDC_PAGE_CASSETTE1_SUMMARY, Cassette(store, 1).Describe());
        SetText(IDC_PAGE_REJECT_SUMMARY, Reject(store).Describe());
    }
    if (lcdm2000) {
        while (values->cassette2 && !skipSecond && !run(2, errors)) {
            if (Error(WithErrors("Ошибка теста выдачи купюр нижней кассеты", errors), nullptr, {},
                      kErrorMessageRetry) == ButtonRetry)
                continue;
            withErrors = true;
            break;
        }
        Settings store(false, &*values);
        SetText(IDC_PAGE_CASSETTE2_SUMMARY, Cassette(store, 2).Describe());
    }
    Settings store(false, &*values);
    SetText(IDC_PAGE_REJECT_SUMMARY, Reject(store).Describe());
    ShowPassInDoubt();
    if (withErrors)
        Message(FormatText("Тест выдачи купюр выполнен с ошибками (в контейнер \"Reject\" всего выдано купюр: %u шт.)",
                           total),
                MB_ICONEXCLAMATION);
    else
        Message(FormatText("Тест выдачи купюр выполнен успешно (в контейнер \"Reject\" всего выдано купюр: %u шт.)",
                           total),
                MB_ICONINFORMATION);
}

bool DispenserControlPage::OnHelp(HWND control)
{
    if (!ControlPluginPage::OnHelp(control))
        ShowContextHelp(control, kPageHelp);
    return true;
}

bool DispenserControlPage::OnApply(bool interactive)
{
    // Half-filled controls would switch off what they never showed (the amount limit,
    // the reject count, the second cassette).
    if (!loaded_) {
        Error("Настройки диспенсера не были прочитаны полностью, сохранение невозможно");
        return false;
    }
    const std::optional<SettingsOverride> values = CollectValues();
    if (!values)
        return false;
    const bool lcdm2000 = IsLcdm2000(values->device);
    if (values->enabled) {
        // Refused before anything is written, so the stored settings stay whole.
        if (!IsSupported(values->device)) {
            Error("Устройство не поддерживается: " + values->device);
            FocusControl(IDC_PAGE_MODEL);
            return false;
        }
        const bool noCassette = !values->cassette1 && (!values->cassette2 || !lcdm2000);
        if (noCassette && !warned_) {
            const std::string warning = std::string(lcdm2000 ? "Отключены обе кассеты" : "Отключена кассета") +
                                        " диспенсера (купюры выдаваться не будут).";
            if (interactive) {
                if (Message(warning + "\r\nОтмена - вернуться к настройке", MB_OKCANCEL | MB_ICONEXCLAMATION) ==
                    ButtonCancel) {
                    FocusControl(IDC_PAGE_CASSETTE1);
                    return false;
                }
            } else {
                Message(warning, MB_ICONEXCLAMATION);
                FocusControl(IDC_PAGE_CASSETTE1);
            }
            warned_ = true;
        }
    }

    Settings store(true);
    if (values->enabled) {
        // Flags are changed bit by bit: one that cannot be read fails here, before
        // anything is written.
        static_cast<void>(store.GetFlags());
        static_cast<void>(Cassette(store, 1).GetFlags());
        if (lcdm2000)
            static_cast<void>(Cassette(store, 2).GetFlags());
        static_cast<void>(Reject(store).GetFlags());
    }
    store.SetEnabled(values->enabled);
    if (!values->enabled)
        return true;
    store.SetDebug(values->debug);
    store.SetDevice(values->device);
    if (!values->debug)
        store.SetPortSettings(values->port);
    Cassette(store, 1).SetEnabled(values->cassette1);
    if (lcdm2000)
        Cassette(store, 2).SetEnabled(values->cassette2);
    AmountLimit amountLimit(store);
    amountLimit.SetEnabled(values->amountLimit);
    if (values->amountLimit)
        amountLimit.SetValue(values->maxAmount);
    Reject(store).SetCounted(values->rejectCounted);
    return true;
}

bool DispenserControlPage::IsChecked(int id) const
{
    return IsDlgButtonChecked(GetWindow(), id) == BST_CHECKED;
}

void DispenserControlPage::Check(int id, bool on)
{
    CheckDlgButton(GetWindow(), id, on ? BST_CHECKED : BST_UNCHECKED);
}

std::string DispenserControlPage::Text(int id) const
{
    return ControlText(GetDlgItem(GetWindow(), id));
}

void DispenserControlPage::SetText(int id, const std::string& text)
{
    SetDlgItemTextW(GetWindow(), id, Widen(text).c_str());
}

void DispenserControlPage::Enable(int id, bool on)
{
    EnableWindow(GetDlgItem(GetWindow(), id), on ? TRUE : FALSE);
}

void DispenserControlPage::Show(int id, bool on)
{
    ShowWindow(GetDlgItem(GetWindow(), id), on ? SW_SHOW : SW_HIDE);
}

} // namespace Plugin
