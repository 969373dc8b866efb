// Text typed at the terminal and read in blocks: whole lines are handed out one at a
// time, and what was read past the end of a line (fast typing, a pasted answer)
// waits for the next question.
#pragma once

#include <optional>
#include <string>
#include <string_view>

class TypedLines {
public:
    void Append(std::string_view text) { text_.append(text); }
    // The input ended: a last line without a line end is complete. False when
    // nothing was waiting.
    bool EndInput();
    // The next whole line without its line end (LF or CR LF), if one has been typed.
    std::optional<std::string> TakeLine();

private:
    std::string text_;
};
