// The tool's terminal as the technician meets it: Russian typed and shown, answers
// typed ahead, and output sent into a file or a pipe. The same cases run against the
// POSIX terminal and the Windows console.
#include "tests/unit/tools/standard_streams_double.h"
#include "tools/dispenserctl/console.h"
#include "tools/dispenserctl/console_platform.h"

#include <gtest/gtest.h>

namespace {

const auto kNeverStop = [] { return false; };

TEST(ToolTerminal, RussianTypedOnTheTerminalArrivesAsUtf8Lines)
{
    TerminalDouble terminal;
    PrepareConsole();
    EXPECT_TRUE(InputIsTerminal());
    // Two answers typed ahead in one go reach two questions, one line each.
    terminal.Type("да, выдать\nнет\n");
    EXPECT_EQ(ReadTerminalLine(kNeverStop), "да, выдать");
    EXPECT_EQ(ReadTerminalLine(kNeverStop), "нет");
}

TEST(ToolTerminal, AStopAlreadyAskedForReadsNothingAndLosesNothing)
{
    TerminalDouble terminal;
    PrepareConsole();
    terminal.Type("5\n");
    EXPECT_EQ(ReadTerminalLine([] { return true; }), std::nullopt);
    // What was typed stays for the next question.
    EXPECT_EQ(ReadTerminalLine(kNeverStop), "5");
}

TEST(ToolTerminal, RussianTextIsShownAsRussian)
{
    TerminalDouble terminal;
    PrepareConsole();
    EXPECT_TRUE(WriteStream(ConsoleStream::Error, "Выдано 5 купюр по 1000 ₽\n"));
    EXPECT_TRUE(terminal.Shows("Выдано 5 купюр по 1000 ₽"));
}

TEST(ToolTerminal, OutputIntoAPipeIsTheUtf8TextWithoutColours)
{
    std::string written;
    {
        PipedStream pipe(ConsoleStream::Output);
        Console console;
        console.Print("Сумма: 5000 ₽", Tone::Good);
        console.Write(ConsoleStream::Output, "Продолжить? ", Tone::Strong);
        written = pipe.Drain();
    }
    EXPECT_EQ(written, "Сумма: 5000 ₽\nПродолжить? ");
}

TEST(ToolTerminal, AReaderThatWentAwayIsNoticedAsLostOutput)
{
    bool lostBefore = true;
    bool lostAfter = false;
    bool lostAfterError = true;
    {
        PipedStream output(ConsoleStream::Output);
        PipedStream error(ConsoleStream::Error);
        Console console;
        console.Print("строка");
        lostBefore = console.OutputLost();
        // A closed standard error is not a reason to stop printing results.
        error.CloseReader();
        console.Error("ошибка");
        lostAfterError = console.OutputLost();
        output.CloseReader();
        console.Print("строка");
        lostAfter = console.OutputLost();
    }
    EXPECT_FALSE(lostBefore);
    EXPECT_FALSE(lostAfterError);
    EXPECT_TRUE(lostAfter);
}

} // namespace
