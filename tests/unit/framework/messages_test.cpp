#include "framework/messages.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Answers message boxes from a script and records what was asked.
class ScriptedOperator {
public:
    explicit ScriptedOperator(std::vector<int> answers) : answers_(std::move(answers))
    {
        previous_ = SetOperatorPromptHook([this](const OperatorPrompt& prompt) {
            asked.push_back(prompt);
            const int answer = answers_.at(next_++);
            return answer;
        });
    }
    ~ScriptedOperator() { SetOperatorPromptHook(previous_); }

    std::vector<OperatorPrompt> asked;

private:
    std::vector<int> answers_;
    std::size_t next_ = 0;
    OperatorPromptHook previous_;
};

TEST(Messages, BoxesGoToTheOperatorHook)
{
    ScriptedOperator operatorAnswers({ButtonYes, ButtonRetry, ButtonOk});
    EXPECT_EQ(AppMessage("Тест выдачи из кассеты #1 считаем успешным?", 36, nullptr, "Диспенсер"), ButtonYes);
    EXPECT_EQ(ErrorMessage("Порт занят", nullptr, "Диспенсер", kErrorMessageRetry), ButtonRetry);
    EXPECT_EQ(ErrorMessage("Ошибка", nullptr, "host.exe"), ButtonOk);
    ASSERT_EQ(operatorAnswers.asked.size(), 3u);
    EXPECT_EQ(operatorAnswers.asked[0].text, "Тест выдачи из кассеты #1 считаем успешным?");
    EXPECT_EQ(operatorAnswers.asked[0].style, 36);
    EXPECT_EQ(operatorAnswers.asked[1].style & 0x0F, 5); // Retry and Cancel
    EXPECT_EQ(operatorAnswers.asked[1].style & 0xF0, 0x10); // the error icon
    EXPECT_EQ(operatorAnswers.asked[2].style & 0x0F, 0); // OK only
    EXPECT_EQ(operatorAnswers.asked[2].caption, "host.exe");
}

TEST(Messages, CautiousButtonNeverConfirms)
{
    EXPECT_EQ(CautiousButton(0x40), ButtonOk);      // OK only, information
    EXPECT_EQ(CautiousButton(35), ButtonCancel);    // Yes/No/Cancel
    EXPECT_EQ(CautiousButton(36), ButtonNo);        // Yes/No
    EXPECT_EQ(CautiousButton(274), ButtonAbort);    // Abort/Retry/Ignore
    EXPECT_EQ(CautiousButton(305), ButtonCancel);   // OK/Cancel
    EXPECT_EQ(CautiousButton(0x15), ButtonCancel);  // Retry/Cancel

    // A box whose Cancel acts names its own cautious answer.
    EXPECT_EQ(CautiousAnswer(OperatorPrompt{"?", "", 35, nullptr, ButtonNo}), ButtonNo);
    EXPECT_EQ(CautiousAnswer(OperatorPrompt{"?", "", 35, nullptr}), ButtonCancel);
}

TEST(Messages, DebugMessagesGoToTheHook)
{
    std::vector<std::string> seen;
    const auto previous = SetDebugMessageHook([&](const std::string& text) { seen.push_back(text); });
    DebugMessage("Save error 5");
    SetDebugMessageHook(previous);
    EXPECT_EQ(seen, std::vector<std::string>{"Save error 5"});
}

TEST(Messages, MainWindowIsWhatTheHostSet)
{
    EXPECT_EQ(GetAppMainWindow(), nullptr);
    const auto window = reinterpret_cast<WindowHandle>(static_cast<std::uintptr_t>(0x1234));
    SetAppMainWindow(window);
    EXPECT_EQ(GetAppMainWindow(), window);
    SetAppMainWindow(nullptr);
}

} // namespace
