#include "framework/messages.h"

#include <cstdio>

int ShowPlatformMessageBox(const OperatorPrompt& prompt)
{
    const int answer = CautiousAnswer(prompt);
    std::fprintf(stderr, "[%s] %s (no operator: answered %d)\n", prompt.caption.c_str(), prompt.text.c_str(), answer);
    return answer;
}

void WritePlatformDebugMessage(const std::string& text)
{
    std::fprintf(stderr, "debug: %s\n", text.c_str());
}

WindowHandle FindPlatformMainWindow()
{
    return nullptr;
}
