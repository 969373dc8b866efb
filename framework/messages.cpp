#include "framework/messages.h"

#include <atomic>
#include <mutex>
#include <utility>

namespace {

constexpr int kIconError = 0x10;
constexpr int kButtonsOk = 0;
constexpr int kButtonsRetryCancel = 5;

std::mutex g_hooksMutex;
OperatorPromptHook g_promptHook;
DebugMessageHook g_debugHook;
std::atomic<WindowHandle> g_mainWindow{nullptr};

template <class Hook>
Hook CurrentHook(const Hook& hook)
{
    std::lock_guard lock(g_hooksMutex);
    return hook;
}

int Ask(const OperatorPrompt& prompt)
{
    // Called outside the lock: a hook may take as long as the operator does.
    if (const auto hook = CurrentHook(g_promptHook))
        return hook(prompt);
    return ShowPlatformMessageBox(prompt);
}

} // namespace

OperatorPromptHook SetOperatorPromptHook(OperatorPromptHook hook)
{
    std::lock_guard lock(g_hooksMutex);
    return std::exchange(g_promptHook, std::move(hook));
}

DebugMessageHook SetDebugMessageHook(DebugMessageHook hook)
{
    std::lock_guard lock(g_hooksMutex);
    return std::exchange(g_debugHook, std::move(hook));
}

int AppMessage(const std::string& text, int style, WindowHandle owner, const std::string& caption, int /*flags*/)
{
    return Ask(OperatorPrompt{text, caption, style, owner});
}

int AppMessage(const OperatorPrompt& prompt)
{
    return Ask(prompt);
}

int ErrorMessage(const std::string& text, WindowHandle owner, const std::string& caption, int flags)
{
    const int buttons = (flags & kErrorMessageRetry) != 0 ? kButtonsRetryCancel : kButtonsOk;
    return Ask(OperatorPrompt{text, caption, kIconError | buttons, owner});
}

int CautiousButton(int style)
{
    switch (style & 0x0F) {
    case 1: // OK, Cancel
    case 3: // Yes, No, Cancel
    case 5: // Retry, Cancel
    case 6: // Cancel, Try again, Continue
        return ButtonCancel;
    case 2: // Abort, Retry, Ignore
        return ButtonAbort;
    case 4: // Yes, No
        return ButtonNo;
    default:
        return ButtonOk;
    }
}

int CautiousAnswer(const OperatorPrompt& prompt)
{
    return prompt.cautious != 0 ? prompt.cautious : CautiousButton(prompt.style);
}

void DebugMessage(const std::string& text)
{
    if (const auto hook = CurrentHook(g_debugHook)) {
        hook(text);
        return;
    }
    WritePlatformDebugMessage(text);
}

WindowHandle GetAppMainWindow()
{
    const WindowHandle window = g_mainWindow.load();
    return window != nullptr ? window : FindPlatformMainWindow();
}

void SetAppMainWindow(WindowHandle window)
{
    g_mainWindow.store(window);
}
