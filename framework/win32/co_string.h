// CoString: an owned COM string (BSTR) for the COM boundary.
#pragma once

#include "windows_api.h"

#include <oleauto.h>

#include <string>
#include <string_view>

class CoString {
public:
    CoString() noexcept = default;
    explicit CoString(std::string_view text);   // from UTF-8
    explicit CoString(std::wstring_view text);
    CoString(const CoString& other);
    CoString(CoString&& other) noexcept;
    CoString& operator=(const CoString& other);
    CoString& operator=(CoString&& other) noexcept;
    CoString& operator=(std::string_view text);
    ~CoString();

    // Takes ownership of a BSTR allocated by SysAllocString (for example an [out] argument).
    static CoString Attach(BSTR text) noexcept;
    // Gives up ownership; the caller frees the result with SysFreeString.
    [[nodiscard]] BSTR Detach() noexcept;

    BSTR Get() const noexcept { return text_; }
    BSTR* Receive() noexcept; // frees the current text, for an [out] argument
    bool IsEmpty() const noexcept { return Length() == 0; }
    std::size_t Length() const noexcept { return text_ == nullptr ? 0 : SysStringLen(text_); }

private:
    BSTR text_ = nullptr;
};

// An owned UTF-8 copy of a COM string.
std::string newstr(const CoString& text);
std::string newstr(const wchar_t* text);
