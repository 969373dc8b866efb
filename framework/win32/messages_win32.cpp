#include "framework/messages.h"

#include "framework/win32/wide_text.h"
#include "windows_api.h"

int ShowPlatformMessageBox(const OperatorPrompt& prompt)
{
    return MessageBoxW(prompt.owner, Widen(prompt.text).c_str(), Widen(prompt.caption).c_str(),
                       static_cast<UINT>(prompt.style));
}

void WritePlatformDebugMessage(const std::string& text)
{
    OutputDebugStringW(Widen(text + "\n").c_str());
}
