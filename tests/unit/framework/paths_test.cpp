#include "framework/paths.h"

#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

bool OnWindows()
{
    return PreferredPathSeparator() == '\\';
}

TEST(Paths, FileNameAndParentWithForwardSlashes)
{
    EXPECT_EQ(GetFileName("/a/b.txt"), "b.txt");
    EXPECT_EQ(GetFileName("журнал.log"), "журнал.log");
    EXPECT_EQ(GetFileName("/a/"), "");
    EXPECT_EQ(GetFileName(""), "");

    EXPECT_EQ(GetParentPath("/a/b.txt"), "/a");
    EXPECT_EQ(GetParentPath("/opt/касса/журнал.log"), "/opt/касса");
    EXPECT_EQ(GetParentPath("/b"), "/");
    EXPECT_EQ(GetParentPath("/"), "/");
    EXPECT_EQ(GetParentPath("b.txt"), "");
    EXPECT_EQ(GetParentPath(""), "");
    EXPECT_EQ(GetParentPath("a/b/"), "a/b");
    EXPECT_EQ(GetParentPath("/a//b"), "/a");   // repeated separators
}

TEST(Paths, MakePathSpecAndIsAbsolute)
{
    const std::string separator(1, PreferredPathSeparator());
    EXPECT_EQ(MakePathSpec(""), "");
    EXPECT_EQ(MakePathSpec("/a/"), "/a/");
    EXPECT_EQ(MakePathSpec("/a"), "/a" + separator);
    EXPECT_EQ(MakePathSpec("logs"), "logs" + separator);
    EXPECT_EQ(MakePathSpec(MakePathSpec("logs")), MakePathSpec("logs")); // never doubled

    EXPECT_TRUE(IsAbsolutePath("/x"));
    EXPECT_TRUE(IsAbsolutePath("/"));
    EXPECT_FALSE(IsAbsolutePath("x/y"));
    EXPECT_FALSE(IsAbsolutePath("./x"));
    EXPECT_FALSE(IsAbsolutePath(""));
}

TEST(Paths, WindowsDrivesAndBackslashes)
{
    if (!OnWindows()) {
        // A backslash is an ordinary character of a POSIX name.
        EXPECT_EQ(GetFileName("C:\\a\\b.txt"), "C:\\a\\b.txt");
        EXPECT_EQ(GetParentPath("C:\\a\\b.txt"), "");
        EXPECT_EQ(MakePathSpec("C:"), "C:/");
        EXPECT_FALSE(IsAbsolutePath("C:\\x"));
        return;
    }
    EXPECT_EQ(GetFileName("C:\\a\\b.txt"), "b.txt");
    EXPECT_EQ(GetFileName("C:\\a/b.txt"), "b.txt");
    EXPECT_EQ(GetFileName("C:name.txt"), "name.txt");
    EXPECT_EQ(GetFileName("C:\\a\\"), "");

    EXPECT_EQ(GetParentPath("C:\\a\\b.txt"), "C:\\a");
    EXPECT_EQ(GetParentPath("C:\\a/b.txt"), "C:\\a");
    EXPECT_EQ(GetParentPath("C:\\b.txt"), "C:\\");
    EXPECT_EQ(GetParentPath("C:/b.txt"), "C:/");
    EXPECT_EQ(GetParentPath("\\b.txt"), "\\");
    EXPECT_EQ(GetParentPath("\\\\server\\share\\f.txt"), "\\\\server\\share");

    EXPECT_EQ(MakePathSpec("C:"), "C:");
    EXPECT_EQ(MakePathSpec("C:\\"), "C:\\");
    EXPECT_EQ(MakePathSpec("C:\\dir"), "C:\\dir\\");

    EXPECT_TRUE(IsAbsolutePath("C:\\x"));
    EXPECT_TRUE(IsAbsolutePath("c:/x"));
    EXPECT_TRUE(IsAbsolutePath("\\x"));
    EXPECT_TRUE(IsAbsolutePath("\\\\server\\share"));
    EXPECT_FALSE(IsAbsolutePath("C:x"));
    EXPECT_FALSE(IsAbsolutePath("C:"));
    EXPECT_FALSE(IsAbsolutePath("x\\y"));
}

TEST(Paths, ExpEnvExpandsKnownNamesOnly)
{
    // putenv keeps the pointer: the text must outlive the process's use of it.
    static char setting[] = "DISPENSER_PATHS_TEST=C:\\Kiosk";
    ASSERT_EQ(putenv(setting), 0);

    EXPECT_EQ(ExpEnv("%DISPENSER_PATHS_TEST%\\logs"), "C:\\Kiosk\\logs");
    EXPECT_EQ(ExpEnv("[%DISPENSER_PATHS_TEST%%DISPENSER_PATHS_TEST%]"), "[C:\\KioskC:\\Kiosk]");
    EXPECT_EQ(ExpEnv("no references"), "no references");
    EXPECT_EQ(ExpEnv(""), "");
    EXPECT_EQ(ExpEnv("%DISPENSER_NO_SUCH_VARIABLE%"), "%DISPENSER_NO_SUCH_VARIABLE%");
    EXPECT_EQ(ExpEnv("100%"), "100%");
    EXPECT_EQ(ExpEnv("%"), "%");
    EXPECT_EQ(ExpEnv("%%"), "%%");
    EXPECT_EQ(ExpEnv("50% off %DISPENSER_PATHS_TEST%"), "50% off C:\\Kiosk");
    // An unknown name keeps its first "%"; its second one may open a known name.
    EXPECT_EQ(ExpEnv("%DISPENSER_NO_SUCH_VARIABLE%DISPENSER_PATHS_TEST%"), "%DISPENSER_NO_SUCH_VARIABLEC:\\Kiosk");
    EXPECT_EQ(ExpEnv("%DISPENSER_PATHS_TEST%%"), "C:\\Kiosk%");

    bool found = true;
    EXPECT_EQ(GetEnvironmentText("DISPENSER_NO_SUCH_VARIABLE", found), "");
    EXPECT_FALSE(found);
    EXPECT_EQ(GetEnvironmentText("DISPENSER_PATHS_TEST", found), "C:\\Kiosk");
    EXPECT_TRUE(found);
}

TEST(Paths, FileExistsWithUnicodeNames)
{
    const TempFolder folder;
    const std::string file = folder.File("журнал выдачи.log");
    EXPECT_FALSE(FileExists(file));
    WriteFileBytes(file, "1 250");
    EXPECT_TRUE(FileExists(file));
    EXPECT_TRUE(IsAbsolutePath(file));
    EXPECT_EQ(GetFileName(file), "журнал выдачи.log");
    EXPECT_EQ(GetParentPath(file), folder.Path());
    EXPECT_FALSE(FileExists(folder.File("нет такого.log")));
    EXPECT_FALSE(FileExists(""));
    EXPECT_TRUE(FileExists(GetModuleFileNameA(OwnModuleHandle()))); // the test executable
}

} // namespace
