#include "tools/dispenserctl/operator_console.h"

#include "framework/text_utils.h"
#include "tools/dispenserctl/console.h"
#include "tools/dispenserctl/console_platform.h"
#include "tools/dispenserctl/interrupt.h"

#include <vector>

namespace {

struct Choice {
    int button;
    const char* letter;
    std::vector<std::string_view> words; // full words, English and Russian
};

// The buttons of a message-box style (its low four bits), as Windows numbers them.
std::vector<Choice> ChoicesOf(int style)
{
    const Choice ok{ButtonOk, "o", {"ok", "ок"}};
    const Choice cancel{ButtonCancel, "c", {"cancel", "о", "отмена"}};
    const Choice yes{ButtonYes, "y", {"yes", "д", "да"}};
    const Choice no{ButtonNo, "n", {"no", "н", "нет"}};
    const Choice abort{ButtonAbort, "a", {"abort"}};
    const Choice retry{ButtonRetry, "r", {"retry"}};
    const Choice ignore{ButtonIgnore, "i", {"ignore"}};
    switch (style & 0x0F) {
    case 1:
    case 6:
        return {ok, cancel};
    case 2:
        return {abort, retry, ignore};
    case 3:
        return {yes, no, cancel};
    case 4:
        return {yes, no};
    case 5:
        return {retry, cancel};
    default:
        return {ok};
    }
}

// Lower-cases ASCII and the Cyrillic letters of the answers (UTF-8: А..Я -> а..я).
std::string LowerAnswer(std::string_view text)
{
    std::string lower;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 'A' && c <= 'Z') {
            lower.push_back(static_cast<char>(c - 'A' + 'a'));
        } else if (c == 0xD0 && i + 1 < text.size()) {
            const auto next = static_cast<unsigned char>(text[++i]);
            if (next >= 0x90 && next <= 0x9F) { // А..П -> а..п
                lower += '\xD0';
                lower.push_back(static_cast<char>(next + 0x20));
            } else if (next >= 0xA0 && next <= 0xAF) { // Р..Я -> р..я
                lower += '\xD1';
                lower.push_back(static_cast<char>(next - 0x20));
            } else {
                lower += '\xD0';
                lower.push_back(static_cast<char>(next));
            }
        } else {
            lower.push_back(static_cast<char>(c));
        }
    }
    return lower;
}

// The text indented by two blanks on every line; message-box texts break lines with "\r\n".
std::string Indented(const std::string& text)
{
    std::string out = "  ";
    for (char c : text) {
        if (c == '\r')
            continue;
        out.push_back(c);
        if (c == '\n')
            out += "  ";
    }
    return out;
}

} // namespace

OperatorConsole::OperatorConsole(Console& console, InterruptState& interrupts)
    : console_(console), interrupts_(interrupts)
{
    previous_ = SetOperatorPromptHook([this](const OperatorPrompt& prompt) { return Ask(prompt); });
}

OperatorConsole::~OperatorConsole()
{
    SetOperatorPromptHook(previous_);
}

std::optional<int> OperatorConsole::ButtonOf(std::string_view typed, int style)
{
    std::string answer = LowerAnswer(typed);
    trim(answer);
    for (const Choice& choice : ChoicesOf(style)) {
        if (answer == choice.letter)
            return choice.button;
        for (std::string_view word : choice.words) {
            if (answer == word)
                return choice.button;
        }
    }
    return std::nullopt;
}

std::string OperatorConsole::Choices(int style)
{
    std::string text = "[";
    for (const Choice& choice : ChoicesOf(style)) {
        if (text.size() > 1)
            text += "/";
        text += choice.letter;
    }
    return text + "]";
}

std::string OperatorConsole::ButtonName(int button)
{
    switch (button) {
    case ButtonOk:
        return "OK";
    case ButtonCancel:
        return "Cancel";
    case ButtonAbort:
        return "Abort";
    case ButtonRetry:
        return "Retry";
    case ButtonIgnore:
        return "Ignore";
    case ButtonYes:
        return "Yes";
    case ButtonNo:
        return "No";
    default:
        return std::to_string(button);
    }
}

int OperatorConsole::Ask(const OperatorPrompt& prompt)
{
    std::lock_guard lock(askMutex_);
    const int cautious = CautiousAnswer(prompt);
    const std::string heading = prompt.caption.empty() ? "Question" : prompt.caption;
    console_.Error("? " + heading + ":", Tone::Strong);
    console_.Error(Indented(prompt.text));
    if (!InputIsTerminal() || interrupts_.IsRaised()) {
        console_.Error("  (nobody to answer on a terminal: " + ButtonName(cautious) + ")", Tone::Warning);
        return cautious;
    }
    for (;;) {
        console_.Write(ConsoleStream::Error, "  " + Choices(prompt.style) + " ", Tone::Strong);
        const std::optional<std::string> typed = ReadTerminalLine([this] { return interrupts_.IsRaised(); });
        if (!typed) {
            console_.Error("");
            console_.Error("  (no answer: " + ButtonName(cautious) + ")", Tone::Warning);
            return cautious;
        }
        if (const std::optional<int> button = ButtonOf(*typed, prompt.style))
            return *button;
        console_.Error("  please answer " + Choices(prompt.style));
    }
}
