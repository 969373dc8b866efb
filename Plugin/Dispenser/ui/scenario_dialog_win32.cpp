#include "Plugin/Dispenser/ui/scenario_dialog.h"

#include "Plugin/Dispenser/dispenser_log.h"
#include "Plugin/Dispenser/scenario_thread.h"
#include "framework/win32/auto_layout.h"
#include "framework/win32/ui_engine.h"
#include "framework/win32/wide_text.h"
#include "resources/resource_ids.h"

namespace DispenserScenario {

namespace {

std::string WindowText(HWND window)
{
    wchar_t text[512] = {};
    GetWindowTextW(window, text, static_cast<int>(std::size(text)));
    return Narrow(text);
}

} // namespace

Dialog::Dialog(HMODULE module, Request* request)
    : DDialog(module, L"DISPENSER"),
      request_(request),
      log_(request != nullptr ? &request->TraceLog() : &DispenserLogHandler::Instance()->TraceLog()),
      key_(RegistryRoot::LocalMachine, std::string(DispenserControl::kSettingsKey) + "\\Log Window", false,
           RegAccessRead)
{
}

Dialog::~Dialog()
{
    if (logWindow_)
        logWindow_->AttachLog(nullptr, nullptr);
    if (request_ != nullptr)
        request_->SetDialogWindow(nullptr);
}

bool Dialog::ShowSetting() const
{
    return key_.ReadDword("Show") != 0;
}

bool Dialog::KeepOpenSetting() const
{
    return key_.ReadDword("Keep Open") != 0;
}

BOOL Dialog::InitDialog(HWND window)
{
    const BOOL result = DDialog::InitDialog(window);
    QortoModelessDialog(window);

    if (HWND parent = GetWindow(window, GW_OWNER)) {
        SendMessageW(window, WM_SETICON, ICON_BIG, SendMessageW(parent, WM_GETICON, ICON_BIG, 0));
        SendMessageW(window, WM_SETICON, ICON_SMALL, SendMessageW(parent, WM_GETICON, ICON_SMALL, 0));
    }

    auto layout = std::make_unique<AutoLayout>(window);
    layout->Add(IDC_DISPENSER_LOG, AutoLayout::Stretch, AutoLayout::Right, 0, AutoLayout::Right, 0, 0);
    layout->Add(IDC_DISPENSER_LOG, AutoLayout::Stretch, AutoLayout::Bottom, 0, AutoLayout::Bottom, 0, 0);
    layout->Add(IDOK, AutoLayout::Move, AutoLayout::Right, 0, AutoLayout::Right, 0, 0);
    layout->Add(IDOK, AutoLayout::Move, AutoLayout::Bottom, 0, AutoLayout::Bottom, 0, 0);
    layout->Add(IDCANCEL, AutoLayout::Move, AutoLayout::Right, 0, AutoLayout::Right, 0, 0);
    layout->Add(IDCANCEL, AutoLayout::Move, AutoLayout::Bottom, 0, AutoLayout::Bottom, 0, 0);
    SetAutoLayout(std::move(layout));

    std::string caption = request_ != nullptr ? OperationName(*request_) : std::string();
    if (caption.empty())
        caption = WindowText(window);
    SetWindowTextW(window, Widen(caption).c_str());

    logWindow_ = std::make_unique<AppLogWindow>(GetDlgItem(window, IDC_DISPENSER_LOG), Module());
    logWindow_->AttachLog(log_, caption.c_str());
    log_->WriteText(AppLog::Positive, caption);

    if (ShowSetting())
        PlaceInWorkArea(window);

    if (request_ != nullptr) {
        request_->SetDialogWindow(window);
        request_->SetThread(std::make_unique<ScenarioThread>(*request_, window));
        request_->Thread()->Start(window);
        // No worker will post its end: the run ends now (a hidden dialog would wait for ever).
        if (!request_->Thread()->WorkerThread().IsValid()) {
            request_->FailToStart();
            PostMessageW(window, WM_COMMAND, IDOK, 0);
        }
    }
    return result;
}

void Dialog::PlaceInWorkArea(HWND window)
{
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const LONG width = work.right - work.left;
    const LONG height = work.bottom - work.top;
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(window, &placement);
    placement.rcNormalPosition.left = work.left + width / 4;
    placement.rcNormalPosition.right = placement.rcNormalPosition.left + width / 2;
    placement.rcNormalPosition.top = work.top + height / 3;
    placement.rcNormalPosition.bottom = placement.rcNormalPosition.top + height / 3;
    SetWindowPlacement(window, &placement);
}

INT_PTR Dialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND window = Window();
    ScenarioThread* thread = request_ != nullptr ? request_->Thread() : nullptr;
    if (thread != nullptr) {
        thread->HandleWindowMessage(message, wParam, lParam);
        if (Window() != window || window == nullptr)
            return TRUE; // the window went away during that call
        if (message == thread->ExitMessage()) {
            if (!(IsWindowVisible(window) && KeepOpenSetting()))
                PostMessageW(window, WM_COMMAND, IDOK, 0);
            return TRUE;
        }
    }
    return DDialog::HandleMessage(message, wParam, lParam);
}

void Dialog::EndDialog(int code)
{
    if (ending_) {
        log_->Write(AppLog::Info, "Ожидание завершения");
        return;
    }
    ending_ = true;
    if (request_ != nullptr && request_->Thread() != nullptr)
        request_->Thread()->Terminate();
    PostEndModalRun(Window(), code);
}

} // namespace DispenserScenario
