#include "tools/kiosk-host/environment_text.h"

#include "framework/win32/wide_text.h"
#include "tools/kiosk-host/usage_error.h"
#include "windows_api.h"

#include <optional>

namespace {

// Read as UTF-16: std::getenv would give the ANSI code page's text.
std::optional<std::string> EnvironmentValue(const std::string& name)
{
    const std::wstring wideName = Widen(name);
    const DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (size == 0)
        return std::nullopt;
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(wideName.c_str(), value.data(), size));
    return Narrow(value);
}

} // namespace

std::string ExpandEnvironmentNames(const std::string& text)
{
    std::string result;
    std::size_t position = 0;
    while (position < text.size()) {
        const std::size_t open = text.find('%', position);
        const std::size_t close = open == std::string::npos ? std::string::npos : text.find('%', open + 1);
        if (close == std::string::npos) {
            result += text.substr(position);
            break;
        }
        result += text.substr(position, open - position);
        const std::string name = text.substr(open + 1, close - open - 1);
        if (name.empty()) {
            result += '%';
        } else {
            const std::optional<std::string> value = EnvironmentValue(name);
            if (!value)
                throw UsageError("the environment variable " + name + " (in '" + text + "') is not set");
            result += *value;
        }
        position = close + 1;
    }
    return result;
}
