// The kiosk session as the plug-in sees it: a store of text variables by name, and
// the value conventions of the "Dispenser." variables. The host's session object is
// one implementation (HostSession); tests and the service tool use a map.
#pragma once

#include <cstdint>
#include <map>
#include <string>

class SessionVariables {
public:
    virtual ~SessionVariables() = default;

    // A variable never set reads as the empty text.
    virtual std::string GetValue(const std::string& name) = 0;
    virtual void SetValue(const std::string& name, const std::string& text) = 0;

    void Clear(const std::string& name) { SetValue(name, std::string()); }
    // An unsigned decimal number.
    void SetUInt(const std::string& name, std::uint32_t value);
    // "1" for true; false clears the variable.
    void SetBool(const std::string& name, bool value);
    // 0 for an empty text; else the text as a plain integer or, failing that, as an
    // operator-typed number, cut toward zero to a signed 32-bit integer. A text that is
    // no number, or a number outside the signed 32-bit range, raises OVAppException
    // "Неверный формат числа: " + name + "=" + text.
    std::int32_t GetInt(const std::string& name);
    // As GetInt, but a number with a fractional part ("1 500,99") raises the same error
    // instead of being cut: for amounts of money.
    std::int32_t GetWholeInt(const std::string& name);

private:
    std::int32_t ReadInt(const std::string& name, bool wholeOnly);
};

// Variables in a map (names compared without regard to ASCII case, as the host does).
class MapSession : public SessionVariables {
public:
    std::string GetValue(const std::string& name) override;
    void SetValue(const std::string& name, const std::string& text) override;

    // Every variable, for printing.
    const std::map<std::string, std::string>& Values() const { return values_; }

private:
    std::map<std::string, std::string> values_;
    std::map<std::string, std::string> spelling_; // lower-case name -> name as first written
};
