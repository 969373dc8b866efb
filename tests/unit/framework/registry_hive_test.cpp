#include "framework/registry_hive.h"

#include "framework/exceptions.h"
#include "framework/utf.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

namespace {

const std::string kHeader = "Windows Registry Editor Version 5.00\n";
const std::string kOrvane = "HKEY_LOCAL_MACHINE\\Software\\Orvane";
const std::string kDispenser = kOrvane + "\\Tallivox\\Kiosk\\Dispenser";

const std::string kExport = kHeader + R"(
[HKEY_LOCAL_MACHINE\Software\Orvane\Tallivox\Kiosk\Dispenser]
"Device"="LCDM-2000"
"BaudRate"=dword:00002580
"Short"=dword:A
"Max" = dword:FFFFFFFF
@="the key's default value"
"Path"="C:\\Program Files\\Kiosk"
"Quote"="say \"hi\""
"Lines"="one\ntwo\r\nthree"
"Name"="Касса №1"

[HKEY_CURRENT_USER\Software\Orvane]
"Empty"=""
)";

// The data of a value, or a failed test when it is missing.
RegData ValueOf(const Hive& hive, const std::string& key, const std::string& name)
{
    const HiveKey* found = hive.FindKey(key);
    if (found == nullptr) {
        ADD_FAILURE() << "no key " << key;
        return {};
    }
    const auto value = found->values.find(name);
    if (value == found->values.end()) {
        ADD_FAILURE() << "no value " << name << " in " << key;
        return {};
    }
    return value->second.second;
}

// A UTF-16LE file with its byte-order mark, as regedit writes it.
std::string Utf16LeFile(const std::string& text)
{
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : Utf8ToUtf16(text)) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

std::string WithCrLf(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

std::vector<std::string> PathsOf(const std::vector<const HiveKey*>& keys)
{
    std::vector<std::string> paths;
    for (const HiveKey* key : keys)
        paths.push_back(key->path);
    return paths;
}

TEST(RegistryHive, ParseSerializeRoundTrip)
{
    const Hive hive = Hive::Parse(kExport, "export.reg");
    EXPECT_EQ(ValueOf(hive, kDispenser, "Device"), RegData::String("LCDM-2000"));
    EXPECT_EQ(ValueOf(hive, kDispenser, "BaudRate"), RegData::Dword(9600));
    EXPECT_EQ(ValueOf(hive, kDispenser, "Short"), RegData::Dword(10));
    EXPECT_EQ(ValueOf(hive, kDispenser, "Max"), RegData::Dword(0xFFFFFFFFu));
    EXPECT_EQ(ValueOf(hive, kDispenser, ""), RegData::String("the key's default value"));
    EXPECT_EQ(ValueOf(hive, kDispenser, "Path"), RegData::String("C:\\Program Files\\Kiosk"));
    EXPECT_EQ(ValueOf(hive, kDispenser, "Quote"), RegData::String("say \"hi\""));
    EXPECT_EQ(ValueOf(hive, kDispenser, "Lines"), RegData::String("one\ntwo\r\nthree"));
    EXPECT_EQ(ValueOf(hive, kDispenser, "Name"), RegData::String("Касса №1"));
    EXPECT_EQ(ValueOf(hive, "HKEY_CURRENT_USER\\Software\\Orvane", "Empty"), RegData::String(""));
    // Parents are created below the root: Software, Orvane, Tallivox, Kiosk, Dispenser; Software, Orvane.
    EXPECT_EQ(hive.KeyCount(), 7u);

    const std::string text = hive.Serialize();
    EXPECT_EQ(text.rfind(kHeader, 0), 0u);
    for (const char* line : {R"("Path"="C:\\Program Files\\Kiosk")", R"("Quote"="say \"hi\"")",
                             R"("Lines"="one\ntwo\r\nthree")", R"("BaudRate"=dword:00002580)", R"("Max"=dword:ffffffff)",
                             R"(@="the key's default value")", "[HKEY_CURRENT_USER\\Software\\Orvane]"}) {
        EXPECT_NE(text.find(std::string(line) + "\n"), std::string::npos) << line;
    }
    const Hive again = Hive::Parse(text, "again.reg");
    EXPECT_EQ(again.Serialize(), text);
    EXPECT_EQ(again.KeyCount(), hive.KeyCount());

    EXPECT_EQ(Hive::Parse(kHeader + "[HKEY_CURRENT_USER\\A]\n\"b\"=\"x\"\n@=dword:1\n", "a.reg").Serialize(),
              kHeader + "\n[HKEY_CURRENT_USER\\A]\n@=dword:00000001\n\"b\"=\"x\"\n");
    EXPECT_EQ(Hive::Parse("", "empty.reg").KeyCount(), 0u);
    EXPECT_EQ(Hive::Parse(kHeader, "header.reg").KeyCount(), 0u);
    EXPECT_EQ(HiveKeyPath(RegistryRoot::LocalMachine, "Software\\X"), "HKEY_LOCAL_MACHINE\\Software\\X");
    EXPECT_EQ(HiveKeyPath(RegistryRoot::CurrentUser, ""), "HKEY_CURRENT_USER");
}

TEST(RegistryHive, DeletionsInImportFiles)
{
    Hive hive = Hive::Parse(kHeader + "[" + kOrvane + "\\Dispenser\\Log]\n\"Level\"=dword:2\n"
                                      "[" + kOrvane + "\\Dispenser 2]\n\"A\"=\"1\"\n\"B\"=\"2\"\n",
                            "base.reg");
    const auto changes = Hive::ParseChanges(kHeader + "[-" + kOrvane + "\\Dispenser]\n"
                                                      "[" + kOrvane + "\\Dispenser 2]\n"
                                                      "\"a\"=-\n"
                                                      "\"Missing\"=-\n"
                                                      "[-HKEY_CURRENT_USER\\Nowhere]\n",
                                            "changes.reg");
    ASSERT_EQ(changes.size(), 5u);
    EXPECT_EQ(changes[0].kind, HiveChange::Kind::DeleteKey);
    EXPECT_EQ(changes[0].key, kOrvane + "\\Dispenser");
    EXPECT_EQ(changes[1].kind, HiveChange::Kind::CreateKey);
    EXPECT_EQ(changes[2].kind, HiveChange::Kind::DeleteValue);
    EXPECT_EQ(changes[2].key, kOrvane + "\\Dispenser 2");
    EXPECT_EQ(changes[2].name, "a");
    EXPECT_EQ(changes[4].kind, HiveChange::Kind::DeleteKey);

    hive.Apply(changes); // deleting what does not exist is no error
    EXPECT_EQ(hive.FindKey(kOrvane + "\\Dispenser"), nullptr);
    EXPECT_EQ(hive.FindKey(kOrvane + "\\Dispenser\\Log"), nullptr); // the whole tree
    const HiveKey* sibling = hive.FindKey(kOrvane + "\\Dispenser 2");
    ASSERT_NE(sibling, nullptr);
    EXPECT_EQ(sibling->values.count("A"), 0u); // removed without regard to case
    EXPECT_EQ(ValueOf(hive, kOrvane + "\\Dispenser 2", "B"), RegData::String("2"));
}

TEST(RegistryHive, ByteOrderMarks)
{
    const Hive plain = Hive::Parse(kExport, "plain.reg");
    const Hive utf16 = Hive::Parse(Utf16LeFile(WithCrLf(kExport)), "utf16.reg");
    EXPECT_EQ(ValueOf(utf16, kDispenser, "Name"), RegData::String("Касса №1"));
    EXPECT_EQ(ValueOf(utf16, kDispenser, "Lines"), RegData::String("one\ntwo\r\nthree"));
    EXPECT_EQ(utf16.Serialize(), plain.Serialize());
    const Hive utf8 = Hive::Parse("\xEF\xBB\xBF" + WithCrLf(kExport), "utf8.reg");
    EXPECT_EQ(utf8.Serialize(), plain.Serialize());
}

TEST(RegistryHive, NamesIgnoreCaseAndKeepTheFirstSpelling)
{
    const Hive hive = Hive::Parse(kHeader + "[HKEY_LOCAL_MACHINE\\Software\\Orvane]\n\"Device\"=\"a\"\n"
                                            "[hkey_local_machine\\SOFTWARE\\orvane]\n\"DEVICE\"=\"b\"\n"
                                            "[HKEY_LOCAL_MACHINE\\software\\ORVANE]\n\"device\"=\"c\"\n",
                                  "case.reg");
    EXPECT_EQ(hive.KeyCount(), 2u);
    const HiveKey* key = hive.FindKey("hkey_local_machine\\software\\orvane");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->path, "HKEY_LOCAL_MACHINE\\Software\\Orvane");
    ASSERT_EQ(key->values.size(), 1u);
    EXPECT_EQ(key->values.begin()->second.first, "Device");
    EXPECT_EQ(key->values.begin()->second.second, RegData::String("c")); // the last data wins
    EXPECT_NE(hive.Serialize().find("\"Device\"=\"c\"\n"), std::string::npos);
}

TEST(RegistryHive, SubkeysTreeAndDeleteTree)
{
    Hive hive;
    hive.CreateKey(kOrvane + "\\Dispenser\\Cassettes\\1");
    hive.CreateKey(kOrvane + "\\Dispenser\\Log");
    // Names that sort between "Dispenser" and "Dispenser\...".
    hive.CreateKey(kOrvane + "\\Dispenser 2");
    hive.CreateKey(kOrvane + "\\Dispenser.old\\x");
    hive.CreateKey(kOrvane + "\\Dispenser2");
    EXPECT_EQ(&hive.CreateKey("hkey_local_machine\\software\\orvane\\DISPENSER"),
              hive.FindKey(kOrvane + "\\Dispenser"));
    EXPECT_EQ(hive.KeyCount(), 10u);

    using Names = std::vector<std::string>;
    EXPECT_EQ(hive.SubkeyNames(kOrvane), (Names{"Dispenser", "Dispenser 2", "Dispenser.old", "Dispenser2"}));
    EXPECT_EQ(hive.SubkeyNames(kOrvane + "\\Dispenser"), (Names{"Cassettes", "Log"}));
    EXPECT_EQ(hive.SubkeyNames("HKEY_LOCAL_MACHINE\\SOFTWARE\\orvane\\dispenser"), (Names{"Cassettes", "Log"}));
    EXPECT_EQ(hive.SubkeyNames("HKEY_LOCAL_MACHINE"), (Names{"Software"}));
    EXPECT_TRUE(hive.SubkeyNames(kOrvane + "\\Disp").empty());
    EXPECT_TRUE(hive.SubkeyNames(kOrvane + "\\Dispenser\\Log").empty());

    EXPECT_EQ(PathsOf(hive.Tree(kOrvane + "\\Dispenser")),
              (Names{kOrvane + "\\Dispenser", kOrvane + "\\Dispenser\\Cassettes", kOrvane + "\\Dispenser\\Cassettes\\1",
                     kOrvane + "\\Dispenser\\Log"}));

    EXPECT_FALSE(hive.DeleteTree(kOrvane + "\\Disp")); // a prefix of a name is not a key
    EXPECT_EQ(hive.KeyCount(), 10u);
    EXPECT_TRUE(hive.DeleteTree(kOrvane + "\\DISPENSER"));
    EXPECT_EQ(hive.KeyCount(), 6u);
    EXPECT_EQ(hive.FindKey(kOrvane + "\\Dispenser\\Cassettes\\1"), nullptr);
    EXPECT_EQ(hive.FindKey(kOrvane + "\\Dispenser\\Log"), nullptr);
    EXPECT_NE(hive.FindKey(kOrvane + "\\Dispenser 2"), nullptr);
    EXPECT_NE(hive.FindKey(kOrvane + "\\Dispenser.old\\x"), nullptr);
    EXPECT_EQ(hive.SubkeyNames(kOrvane), (Names{"Dispenser 2", "Dispenser.old", "Dispenser2"}));
    EXPECT_FALSE(hive.DeleteTree(kOrvane + "\\Dispenser"));
}

// Whether a reason names "line N" and not a longer number starting with N.
bool NamesLine(const std::string& reason, int line)
{
    const std::string mark = "line " + std::to_string(line);
    const std::size_t at = reason.find(mark);
    return at != std::string::npos &&
           (at + mark.size() == reason.size() || !std::isdigit(static_cast<unsigned char>(reason[at + mark.size()])));
}

TEST(RegistryHive, MalformedFilesNameFileAndLine)
{
    const std::string key = "[HKEY_LOCAL_MACHINE\\Software\\X]\n";
    const std::string valuesThenBlanks = kHeader + key + "\"A\"=\"x\"\n\n\n; note\n\n\"B\"=\n";
    struct Case {
        std::string text;
        int line;
    };
    const Case cases[] = {
        {"REGEDIT5\n", 1},
        {"\n; exported by hand\n\nnot a header\n", 4},
        {kHeader + "\n[HKEY_LOCAL_MACHINE\\Software\n", 3},     // no "]"
        {kHeader + "[HKEY_NOWHERE\\Software]\n", 2},           // unknown root
        {kHeader + "[]\n", 2},
        {kHeader + "[HKEY_LOCAL_MACHINE\\a\\\\b]\n", 2},        // an empty name inside
        {kHeader + "[HKEY_LOCAL_MACHINE\\a\\]\n", 2},           // an empty name at the end
        {kHeader + "\"A\"=\"x\"\n", 2},                         // a value before any key
        {kHeader + key + "\"A\"=\"unterminated\n", 3},
        {kHeader + key + "\"Ok\"=\"fine\"\n\"A\"=\"bad \\q escape\"\n", 4},
        {kHeader + key + "\"A\"=hex:00,01\n", 3},
        {kHeader + key + "\"A\"=dword:123456789\n", 3},
        {kHeader + key + "\"A\"=dword:12g4\n", 3},
        {kHeader + key + "\"A\"=dword:\n", 3},
        {kHeader + "[-HKEY_LOCAL_MACHINE\\Software\\X]\n\"A\"=\"x\"\n", 3}, // a value of a deleted key
        {kHeader + key + "\"A\" \"x\"\n", 3},                    // no "="
        {kHeader + key + "\"A\"=\"x\" trailing\n", 3},
        {kHeader + key + "Name=value\n", 3},
        {kHeader + key + "@=oops", 3},                           // the last line has no line break
        {valuesThenBlanks, 8},                                   // blank and comment lines count
        {WithCrLf(valuesThenBlanks), 8},
        {Utf16LeFile(WithCrLf(valuesThenBlanks)), 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            Hive::Parse(c.text, "/etc/kiosk/import.reg");
            ADD_FAILURE() << "accepted";
        } catch (const InvalidValue& error) {
            EXPECT_NE(error.Reason().find("/etc/kiosk/import.reg"), std::string::npos) << error.Reason();
            EXPECT_TRUE(NamesLine(error.Reason(), c.line)) << error.Reason();
        }
        EXPECT_THROW(Hive::ParseChanges(c.text, "x.reg"), InvalidValue);
    }
}

} // namespace
