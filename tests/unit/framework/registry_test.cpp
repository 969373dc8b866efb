#include "framework/registry.h"

#include "framework/exceptions.h"
#include "tests/support/test_registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

namespace {

class RegKeyTest : public ::testing::Test {
protected:
    RegKey Writable(const std::string& relative = "Dispenser")
    {
        return RegKey(registry_.Root(), registry_.Key(relative), true, RegAccessAll);
    }
    RegKey ReadOnly(const std::string& relative = "Dispenser")
    {
        return RegKey(registry_.Root(), registry_.Key(relative), false, RegAccessRead);
    }

    TestRegistry registry_;
};

TEST_F(RegKeyTest, MissingKeyReadsAsEmptyAndIsNotCreated)
{
    RegKey key = ReadOnly("Nowhere\\Deeper");
    EXPECT_FALSE(key.IsOpen());
    EXPECT_FALSE(key["Count"].Valid());
    EXPECT_EQ(static_cast<int>(key["Count"]), 0);
    EXPECT_EQ(key["Port"].Text(), "");
    EXPECT_TRUE(key.ValueNames().empty());
    EXPECT_THROW(key["Count"] = 5, InternalError);
    EXPECT_FALSE(ReadOnly("Nowhere").IsOpen());
}

TEST_F(RegKeyTest, WritesAndReadsDwordsStringsAndTheDefaultValue)
{
    RegKey key = Writable();
    ASSERT_TRUE(key.IsOpen());
    ASSERT_TRUE(key.IsWritable());
    key["BaudRate"] = 9600;
    key["Max"] = 0xFFFFFFFFu;
    key["Device"] = "LCDM-2000";
    key["LogDir"] = std::string("C:\\Orvane\\Журналы \"дневные\"");
    key[""] = "описание";

    EXPECT_TRUE(key["BaudRate"].Valid());
    EXPECT_EQ(key["BaudRate"].Type(), RegValueType::Dword);
    EXPECT_EQ(static_cast<int>(key["BaudRate"]), 9600);
    EXPECT_EQ(key["Max"].Dword(), 0xFFFFFFFFu);
    EXPECT_EQ(static_cast<int>(key["Max"]), -1);
    EXPECT_EQ(key["Device"].Type(), RegValueType::String);
    EXPECT_EQ(static_cast<std::string>(key["Device"]), "LCDM-2000");
    EXPECT_EQ(key["LogDir"].Text(), "C:\\Orvane\\Журналы \"дневные\"");
    EXPECT_EQ(key[""].Text(), "описание");
    EXPECT_FALSE(key["Missing"].Valid());

    // Another key object on the same path sees every write at once: nothing is cached.
    RegKey reader = ReadOnly();
    EXPECT_EQ(reader["Device"].Text(), "LCDM-2000");
    key["Device"] = "LCDM-1000";
    EXPECT_EQ(reader["Device"].Text(), "LCDM-1000");
}

TEST_F(RegKeyTest, ReadOnlyKeyRefusesEveryWriteAndWritesNothing)
{
    Writable()["Count"] = 250;
    RegKey key = ReadOnly();
    ASSERT_TRUE(key.IsOpen());
    EXPECT_FALSE(key.IsWritable());
    EXPECT_THROW(key["Count"] = 7, InternalError);
    EXPECT_THROW(key["Port"] = "COM3", InternalError);
    EXPECT_THROW(key["Count"].Delete(), InternalError);
    EXPECT_THROW(key.DeleteTree("Cassette"), InternalError);
    EXPECT_THROW(key.CreateNewSubkey("Pending"), InternalError);
    EXPECT_THROW(key.UpdateDword("Count", [](auto) { return 1u; }), InternalError);
    EXPECT_THROW(RegKey(key, "Sub", true, RegAccessAll), InternalError);
    EXPECT_EQ(static_cast<int>(key["Count"]), 250);
    EXPECT_FALSE(key["Port"].Valid());
    EXPECT_FALSE(key.HasSubkey("Sub"));
}

TEST_F(RegKeyTest, NamesAreComparedWithoutRegardToCase)
{
    RegKey key = Writable();
    key["Reset on Bill-End"] = 1;
    EXPECT_EQ(static_cast<int>(key["RESET ON BILL-END"]), 1);
    key["reset on bill-end"] = 0;
    EXPECT_EQ(key.ValueNames().size(), 1u);
    EXPECT_EQ(static_cast<int>(ReadOnly("DISPENSER")["Reset on Bill-End"]), 0);
}

TEST_F(RegKeyTest, ValueOfTheWrongTypeIsRefusedOnRead)
{
    RegKey key = Writable();
    key["Count"] = "двадцать";
    key["Port"] = 3;
    EXPECT_THROW(static_cast<void>(key["Count"].Dword()), InvalidValue);
    EXPECT_THROW(static_cast<void>(key["Port"].Text()), InvalidValue);
}

TEST_F(RegKeyTest, DeletingValuesAndListingNames)
{
    RegKey key = Writable();
    key["A"] = 1;
    key["B"] = "b";
    key["B"].Delete();
    key["Never"].Delete(); // a missing value is no error
    EXPECT_EQ(key.ValueNames(), std::vector<std::string>{"A"});
    RegKey(key, "Cassette\\1", true, RegAccessAll)["Count"] = 10;
    RegKey(key, "Reject", true, RegAccessAll);
    std::vector<std::string> subkeys = key.SubkeyNames();
    std::sort(subkeys.begin(), subkeys.end());
    EXPECT_EQ(subkeys, (std::vector<std::string>{"Cassette", "Reject"}));
    EXPECT_TRUE(key.HasSubkey("cassette\\1"));
    EXPECT_FALSE(key.HasSubkey("Cassette\\2"));
}

TEST_F(RegKeyTest, CopyTreeThenDeleteTreeMovesASubkey)
{
    RegKey key = Writable();
    {
        RegKey one(key, "Cassete\\1", true, RegAccessAll);
        one["Denomination"] = 1000;
        one["Count"] = 250;
        RegKey(key, "Cassete\\2", true, RegAccessAll)["Denomination"] = 500;
    }
    RegKey destination(key, "Cassette", true, RegAccessAll);
    key.CopyTree("Cassete", destination);
    key.DeleteTree("Cassete");
    EXPECT_FALSE(key.HasSubkey("Cassete"));
    EXPECT_EQ(static_cast<int>(RegKey(key, "Cassette\\1", false, RegAccessRead)["Count"]), 250);
    EXPECT_EQ(static_cast<int>(RegKey(key, "Cassette\\2", false, RegAccessRead)["Denomination"]), 500);
    key.DeleteTree("Cassete"); // already gone: no error
    EXPECT_THROW(key.CopyTree("Missing", destination), InternalError);
}

TEST_F(RegKeyTest, CreateNewSubkeyTellsAKeyItMadeFromOneItFound)
{
    RegKey key = Writable();
    EXPECT_TRUE(key.CreateNewSubkey("Pending"));
    RegKey(key, "Pending", true, RegAccessAll)["Asked1"] = 5;
    EXPECT_FALSE(key.CreateNewSubkey("PENDING"));
    EXPECT_EQ(static_cast<int>(RegKey(key, "Pending", false, RegAccessRead)["Asked1"]), 5) << "found, not replaced";
    key.DeleteTree("Pending");
    EXPECT_TRUE(key.CreateNewSubkey("Pending"));
}

TEST_F(RegKeyTest, UpdateDwordFromManyThreadsLosesNoUpdate)
{
    constexpr int kThreads = 4;
    constexpr int kIncrements = 25;
    Writable();
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([this] {
            RegKey key = Writable();
            for (int i = 0; i < kIncrements; ++i)
                key.UpdateDword("Count", [](std::optional<std::uint32_t> count) { return count.value_or(0) + 1; });
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(ReadOnly()["Count"].Dword(), static_cast<std::uint32_t>(kThreads * kIncrements));
}

TEST_F(RegKeyTest, UpdateDwordThatThrowsWritesNothing)
{
    RegKey key = Writable();
    key["Count"] = 5;
    EXPECT_THROW(key.UpdateDword("Count", [](auto) -> std::uint32_t { throw OVAppException("нет"); }), OVAppException);
    EXPECT_EQ(key["Count"].Dword(), 5u);
    EXPECT_EQ(key.UpdateDword("Fresh", [](std::optional<std::uint32_t> v) { return v ? 99u : 7u; }), 7u);
    key["Text"] = "a";
    EXPECT_THROW(key.UpdateDword("Text", [](auto) { return 1u; }), InvalidValue);
    EXPECT_EQ(key["Text"].Text(), "a");
}

} // namespace
