// The text variables of a kiosk session. Names are compared without regard to ASCII
// letter case and keep the spelling of the write that created them. The empty text is
// no variable at all: a cleared variable and one never set both read as the empty text
// and neither is listed.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class VariableStore {
public:
    // Sets the variable's text; the empty text removes the variable.
    void Set(const std::string& name, const std::string& text);

    // The variable's text, or the empty text when it has none.
    std::string Get(std::string_view name) const;

    // Name and text of each variable whose name begins with prefix (ASCII case ignored),
    // ordered by name without regard to ASCII case.
    std::vector<std::pair<std::string, std::string>> List(std::string_view prefix = {}) const;

private:
    struct AsciiCaseLess {
        using is_transparent = void;
        bool operator()(std::string_view left, std::string_view right) const;
    };
    std::map<std::string, std::string, AsciiCaseLess> variables_;
};
