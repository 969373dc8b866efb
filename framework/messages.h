// Message boxes, debugging messages and the host's main window.
//
// A message box asks the operator. On Windows it is a real modal box unless an
// operator-prompt hook is installed; on POSIX it always goes to the hook (the
// service tool asks on its terminal, tests script the answers). Without a hook on
// POSIX the box is written to standard error and answered with its most cautious
// button (Cancel, No or Abort; OK when that is the only one).
#pragma once

#include "platform_types.h"

#include <functional>
#include <string>

// Buttons pressed, as Windows numbers them.
enum MessageButton : int {
    ButtonOk = 1,
    ButtonCancel = 2,
    ButtonAbort = 3,
    ButtonRetry = 4,
    ButtonIgnore = 5,
    ButtonYes = 6,
    ButtonNo = 7,
};

// ErrorMessage flag: the operator may ask to repeat (Retry and Cancel buttons).
constexpr int kErrorMessageRetry = 512;

// What the operator is asked.
struct OperatorPrompt {
    std::string text;
    std::string caption;
    int style = 0; // a Windows message-box style number (buttons in the low 4 bits, icon in 0xF0)
    WindowHandle owner = nullptr;
    // The answer that changes nothing, for the rare box whose usual cautious button
    // acts (0: CautiousButton(style)). Used when nobody is there to answer.
    int cautious = 0;
};

using OperatorPromptHook = std::function<int(const OperatorPrompt&)>;

// Installs a hook that answers every message box; returns the previous one. An empty
// function removes the hook. Safe from any thread.
OperatorPromptHook SetOperatorPromptHook(OperatorPromptHook hook);

// A modal message box; returns the button pressed.
int AppMessage(const std::string& text, int style, WindowHandle owner, const std::string& caption, int flags = 0);
// The same for a prompt made by the caller (to name its cautious answer).
int AppMessage(const OperatorPrompt& prompt);

// A modal error box; with kErrorMessageRetry it offers Retry and Cancel (4 = repeat).
int ErrorMessage(const std::string& text, WindowHandle owner, const std::string& caption, int flags = 0);

// The most cautious button of a message-box style.
int CautiousButton(int style);
// The answer for a prompt nobody is there to answer: its own cautious answer, else
// the style's.
int CautiousAnswer(const OperatorPrompt& prompt);

// A debugging trace line (the debugger's output on Windows, standard error on POSIX).
void DebugMessage(const std::string& text);

using DebugMessageHook = std::function<void(const std::string&)>;
// Sends debugging messages to the hook instead (tests); returns the previous one.
DebugMessageHook SetDebugMessageHook(DebugMessageHook hook);

// The host application's main window, the owner of boxes raised on host threads.
// Until someone sets it, it is looked up: the visible unowned top-level window of this
// process, one of the calling thread first (null when there is none).
WindowHandle GetAppMainWindow();
void SetAppMainWindow(WindowHandle window);

// Platform part: shows the box for real (Windows) or reports it (POSIX).
int ShowPlatformMessageBox(const OperatorPrompt& prompt);
void WritePlatformDebugMessage(const std::string& text);
WindowHandle FindPlatformMainWindow();
