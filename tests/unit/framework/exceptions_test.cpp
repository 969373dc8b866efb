#include "framework/exceptions.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Exceptions, ReasonsOfTheFamily)
{
    EXPECT_EQ(OrvaneException("текст").Reason(), "текст");
    EXPECT_EQ(DebugException().Reason(), "Debug Exception");
    EXPECT_EQ(DebugException().Value(), 0);
    EXPECT_EQ(DebugException("Условная ошибка", 7).Value(), 7);
    EXPECT_EQ(InternalError("Запись параметров диспенсера запрещена").Reason(),
              "Запись параметров диспенсера запрещена");
    EXPECT_EQ(OVAppException("Диспенсер не задействован").Reason(), "Диспенсер не задействован");
    EXPECT_EQ(NumericSyntax("x").Reason(), "x");
    EXPECT_STREQ(OrvaneException("why").what(), "why");
}

TEST(Exceptions, HierarchyIsCaughtByItsBases)
{
    EXPECT_THROW(throw SilentCancel(), OVAppException);
    EXPECT_THROW(throw NumericSyntax("x"), NumericScanException);
    EXPECT_THROW(throw NumericSyntax("x"), InvalidValue);
    EXPECT_THROW(throw OleAutoException(1, "s", "d"), OleError);
    EXPECT_THROW(throw OleError(-1), CoError);
    EXPECT_THROW(throw WindowsError(5, "f.cpp", 1), OrvaneException);
    EXPECT_THROW(throw DebugException(), OrvaneException);
}

TEST(Exceptions, OleAutoExceptionCarriesItsRecord)
{
    const OleAutoException error(4711, "Источник", "Описание");
    EXPECT_EQ(error.Code(), 4711);
    EXPECT_EQ(error.Source(), "Источник");
    EXPECT_EQ(error.Description(), "Описание");
    EXPECT_EQ(error.Reason(), "Описание");
    EXPECT_EQ(static_cast<std::uint32_t>(error.Result()), 0x80020009u);
    EXPECT_EQ(OleAutoException(12, "", "").Reason(), "Automation error 12");
}

TEST(Exceptions, CoErrorNamesResultAndPosition)
{
    const CoError error(static_cast<std::int32_t>(0x80004005u), "plugin.cpp", 12);
    EXPECT_EQ(static_cast<std::uint32_t>(error.Result()), 0x80004005u);
    EXPECT_EQ(error.Reason(), "COM call error 80004005 at \"plugin.cpp\":12");
    EXPECT_EQ(CoError(static_cast<std::int32_t>(0x80070057u)).Reason(), "COM call error 80070057");
    EXPECT_THROW(CoCallEx(static_cast<std::int32_t>(0x80004001u), "m", "f", 1), CoError);
    EXPECT_EQ(CoCallEx(1, "m", "f", 1), 1);
}

TEST(Exceptions, TextWithPercentSignsIsNeverAFormat)
{
    // Texts from outside may hold format directives; they must come back unchanged.
    EXPECT_EQ(OVAppException("%s%n%x").Reason(), "%s%n%x");
    const WindowsError error(2, "%s%n.cpp", 3);
    EXPECT_NE(error.Reason().find("\"%s%n.cpp\":3"), std::string::npos);
}

TEST(Exceptions, LastSystemErrorIsRaisedWithPosition)
{
    try {
        THROW_LAST_SYSTEM_ERROR();
        FAIL() << "no exception";
    } catch (const WindowsError& error) {
        EXPECT_EQ(error.File(), "exceptions_test.cpp");
        EXPECT_GT(error.Line(), 0);
    }
}

} // namespace
