// Texts at the COM boundary: owned BSTRs made from UTF-8, and BSTRs read back as UTF-8.
#pragma once

#include "windows_api.h"

#include <oleauto.h>

#include <memory>
#include <string>
#include <string_view>

struct BstrDeleter {
    void operator()(OLECHAR* text) const noexcept { SysFreeString(text); }
};
// An owned BSTR; release() hands it to a caller that frees it (an [out] argument).
using UniqueBstr = std::unique_ptr<OLECHAR, BstrDeleter>;

// A new BSTR holding the text; throws std::bad_alloc when none can be had.
UniqueBstr MakeBstr(std::string_view utf8);

// The BSTR's text (a null BSTR is the empty text).
std::string BstrToUtf8(BSTR text);

// An HRESULT as COM reports print it: eight upper-case hexadecimal digits.
std::string HresultText(HRESULT result);
