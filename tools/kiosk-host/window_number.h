// Window handles as the host interfaces carry them: 32-bit numbers. Windows keeps
// handles within 32 bits (sign-extended) for 64-bit and 32-bit programs alike.
#pragma once

#include "windows_api.h"

inline LONG WindowNumber(HWND window)
{
    return static_cast<LONG>(reinterpret_cast<LONG_PTR>(window));
}

inline HWND WindowOfNumber(LONG number)
{
    return reinterpret_cast<HWND>(static_cast<LONG_PTR>(number));
}
