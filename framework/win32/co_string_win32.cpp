#include "framework/win32/co_string.h"

#include "framework/exceptions.h"
#include "framework/win32/wide_text.h"

#include <utility>

namespace {

BSTR Allocate(std::wstring_view text)
{
    BSTR copy = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (copy == nullptr)
        throw CoError(static_cast<std::int32_t>(E_OUTOFMEMORY), __FILE_NAME__, __LINE__);
    return copy;
}

} // namespace

CoString::CoString(std::string_view text) : text_(Allocate(Widen(text))) {}

CoString::CoString(std::wstring_view text) : text_(Allocate(text)) {}

CoString::CoString(const CoString& other)
    : text_(other.text_ == nullptr ? nullptr : Allocate(std::wstring_view(other.text_, other.Length())))
{
}

CoString::CoString(CoString&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}

CoString& CoString::operator=(const CoString& other)
{
    if (this != &other)
        *this = CoString(other);
    return *this;
}

CoString& CoString::operator=(CoString&& other) noexcept
{
    if (this != &other) {
        SysFreeString(text_);
        text_ = std::exchange(other.text_, nullptr);
    }
    return *this;
}

CoString& CoString::operator=(std::string_view text)
{
    return *this = CoString(text);
}

CoString::~CoString()
{
    SysFreeString(text_);
}

CoString CoString::Attach(BSTR text) noexcept
{
    CoString result;
    result.text_ = text;
    return result;
}

BSTR CoString::Detach() noexcept
{
    return std::exchange(text_, nullptr);
}

BSTR* CoString::Receive() noexcept
{
    SysFreeString(text_);
    text_ = nullptr;
    return &text_;
}

std::string newstr(const CoString& text)
{
    return Narrow(std::wstring_view(text.Get() == nullptr ? L"" : text.Get(), text.Length()));
}

std::string newstr(const wchar_t* text)
{
    return text == nullptr ? std::string() : Narrow(text);
}
