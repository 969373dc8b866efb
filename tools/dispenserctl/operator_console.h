// The operator's questions on the terminal. In debug mode an operation asks whether a
// step counts as done (message-box styles: 36 Yes/No, 35 Yes/No/Cancel, ...). While
// the object lives every such question is shown on standard error and answered with
// a typed line: y/yes/д/да, n/no/н/нет, c/cancel/о/отмена (and o, a, r, i for the
// other boxes). When standard input is not a terminal, ends, or Ctrl+C comes, the
// question gets its most cautious answer (Cancel, No or Abort), which is shown.
#pragma once

#include "framework/messages.h"

#include <mutex>
#include <optional>
#include <string>
#include <string_view>

class Console;
class InterruptState;

class OperatorConsole {
public:
    // Installs the prompt hook of the process; the previous one comes back at the end.
    OperatorConsole(Console& console, InterruptState& interrupts);
    ~OperatorConsole();
    OperatorConsole(const OperatorConsole&) = delete;
    OperatorConsole& operator=(const OperatorConsole&) = delete;

    // The button a typed answer means for a box of `style`; nullopt when it means none
    // of its buttons. Letter case and surrounding blanks do not matter.
    static std::optional<int> ButtonOf(std::string_view typed, int style);
    // "[y/n/c]" for the buttons of `style`.
    static std::string Choices(int style);
    static std::string ButtonName(int button);

private:
    int Ask(const OperatorPrompt& prompt);

    Console& console_;
    InterruptState& interrupts_;
    std::mutex askMutex_; // one question at a time
    OperatorPromptHook previous_;
};
