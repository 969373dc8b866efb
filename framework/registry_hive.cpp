#include "framework/registry_hive.h"

#include "framework/exceptions.h"
#include "framework/text_format.h"
#include "framework/utf.h"

#include <array>

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kOldHeader = "REGEDIT4";
constexpr std::array<std::string_view, 3> kRoots = {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_CLASSES_ROOT"};

class LineReader {
public:
    LineReader(std::string_view text, const std::string& fileName) : text_(text), fileName_(fileName) {}

    bool Next(std::string_view& line)
    {
        if (position_ >= text_.size())
            return false;
        std::size_t end = text_.find('\n', position_);
        if (end == std::string_view::npos)
            end = text_.size();
        line = text_.substr(position_, end - position_);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        position_ = end + 1;
        ++number_;
        return true;
    }

    [[noreturn]] void Fail(const char* what) const
    {
        throw InvalidValue(FormatText("Registry file \"%s\", line %zu: %s", fileName_.c_str(), number_, what));
    }

private:
    std::string_view text_;
    const std::string& fileName_;
    std::size_t position_ = 0;
    std::size_t number_ = 0;
};

// The file's text as UTF-8: a UTF-16 file (byte-order mark FF FE or FE FF) is
// converted, a UTF-8 byte-order mark dropped.
std::string DecodeFileText(std::string_view raw)
{
    const auto starts = [&](std::string_view mark) { return raw.substr(0, mark.size()) == mark; };
    if (starts("\xFF\xFE") || starts("\xFE\xFF")) {
        const bool little = raw[0] == '\xFF';
        std::u16string wide;
        for (std::size_t i = 2; i + 1 < raw.size(); i += 2) {
            const auto low = static_cast<unsigned char>(raw[little ? i : i + 1]);
            const auto high = static_cast<unsigned char>(raw[little ? i + 1 : i]);
            wide.push_back(static_cast<char16_t>(low | (high << 8)));
        }
        return Utf16ToUtf8(wide);
    }
    if (starts("\xEF\xBB\xBF"))
        raw.remove_prefix(3);
    return std::string(raw);
}

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

void CheckKeyPath(std::string_view path, const LineReader& reader)
{
    const std::size_t separator = path.find('\\');
    const std::string_view root = path.substr(0, separator);
    bool known = false;
    for (std::string_view candidate : kRoots)
        known = known || EqualsNoCase(root, candidate);
    if (!known)
        reader.Fail("the key does not begin with HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER or HKEY_CLASSES_ROOT");
    if (separator == std::string_view::npos)
        return;
    const std::string_view rest = path.substr(separator + 1);
    if (rest.empty() || rest.back() == '\\' || rest.find("\\\\") != std::string_view::npos)
        reader.Fail("the key path has an empty name");
}

// Reads a quoted string at the start of text and removes it from text.
std::string ReadQuoted(std::string_view& text, const LineReader& reader)
{
    if (text.empty() || text.front() != '"')
        reader.Fail("a quoted text is expected");
    std::string value;
    std::size_t i = 1;
    for (; i < text.size() && text[i] != '"'; ++i) {
        if (text[i] != '\\') {
            value.push_back(text[i]);
            continue;
        }
        if (++i == text.size())
            break;
        switch (text[i]) {
        case '\\':
        case '"':
            value.push_back(text[i]);
            break;
        case 'n':
            value.push_back('\n');
            break;
        case 'r':
            value.push_back('\r');
            break;
        default:
            reader.Fail("unknown escape in a quoted text (use \\\\ for a backslash)");
        }
    }
    if (i >= text.size())
        reader.Fail("the quoted text is not closed");
    text.remove_prefix(i + 1);
    return value;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

RegData ReadDword(std::string_view digits, const LineReader& reader)
{
    if (digits.empty() || digits.size() > 8)
        reader.Fail("a dword has 1 to 8 hexadecimal digits");
    std::uint32_t value = 0;
    for (char c : digits) {
        const int digit = HexDigit(c);
        if (digit < 0)
            reader.Fail("a dword has 1 to 8 hexadecimal digits");
        value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    return RegData::Dword(value);
}

void AppendQuoted(std::string& out, std::string_view text)
{
    out.push_back('"');
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\0':
            out.push_back('"'); // a registry string ends at its first zero
            return;
        default:
            out.push_back(c);
        }
    }
    out.push_back('"');
}

bool StartsWithNoCase(std::string_view path, std::string_view top)
{
    return path.size() >= top.size() && EqualsNoCase(path.substr(0, top.size()), top);
}

bool IsInTree(std::string_view path, std::string_view top)
{
    if (!StartsWithNoCase(path, top))
        return false;
    return path.size() == top.size() || path[top.size()] == '\\';
}

} // namespace

std::string HiveKeyPath(RegistryRoot root, const std::string& path)
{
    std::string full = RegistryRootName(root);
    if (!path.empty())
        full += "\\" + path;
    return full;
}

std::vector<HiveChange> Hive::ParseChanges(std::string_view raw, const std::string& fileName)
{
    const std::string text = DecodeFileText(raw);
    LineReader reader(text, fileName);
    std::vector<HiveChange> changes;
    std::string_view line;
    bool headerSeen = false;
    std::string currentKey;
    bool keyDeleted = false;
    while (reader.Next(line)) {
        line = TrimBlanks(line);
        if (line.empty() || line.front() == ';')
            continue;
        if (!headerSeen) {
            if (line != kHeader && line != kOldHeader)
                reader.Fail("the file does not begin with \"Windows Registry Editor Version 5.00\"");
            headerSeen = true;
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']')
                reader.Fail("a key line ends with \"]\"");
            std::string_view path = line.substr(1, line.size() - 2);
            keyDeleted = !path.empty() && path.front() == '-';
            if (keyDeleted)
                path.remove_prefix(1);
            CheckKeyPath(path, reader);
            currentKey.assign(path);
            changes.push_back({keyDeleted ? HiveChange::Kind::DeleteKey : HiveChange::Kind::CreateKey, currentKey, {}, {}});
            continue;
        }
        if (line.front() != '"' && line.front() != '@')
            reader.Fail("a line holds a [key] or a \"name\"=value");
        if (currentKey.empty())
            reader.Fail("a value comes before any [key]");
        if (keyDeleted)
            reader.Fail("a value follows a deleted [-key]");
        std::string name;
        if (line.front() == '@')
            line.remove_prefix(1);
        else
            name = ReadQuoted(line, reader);
        line = TrimBlanks(line);
        if (line.empty() || line.front() != '=')
            reader.Fail("\"=\" is expected after the value name");
        line = TrimBlanks(line.substr(1));
        HiveChange change{HiveChange::Kind::SetValue, currentKey, name, {}};
        if (line == "-") {
            change.kind = HiveChange::Kind::DeleteValue;
        } else if (!line.empty() && line.front() == '"') {
            change.data = RegData::String(ReadQuoted(line, reader));
            if (!TrimBlanks(line).empty())
                reader.Fail("text follows the closing quote");
        } else if (line.substr(0, 6) == "dword:") {
            change.data = ReadDword(line.substr(6), reader);
        } else {
            reader.Fail("only \"text\", dword:XXXXXXXX and - are supported as value data");
        }
        changes.push_back(std::move(change));
    }
    if (!headerSeen && !text.empty() && text.find_first_not_of(" \t\r\n") != std::string::npos)
        reader.Fail("the file does not begin with \"Windows Registry Editor Version 5.00\"");
    return changes;
}

Hive Hive::Parse(std::string_view text, const std::string& fileName)
{
    Hive hive;
    hive.Apply(ParseChanges(text, fileName));
    return hive;
}

void Hive::Apply(const std::vector<HiveChange>& changes)
{
    for (const HiveChange& change : changes) {
        switch (change.kind) {
        case HiveChange::Kind::CreateKey:
            CreateKey(change.key);
            break;
        case HiveChange::Kind::DeleteKey:
            DeleteTree(change.key);
            break;
        case HiveChange::Kind::SetValue: {
            HiveKey* key = FindKey(change.key);
            auto& values = (key != nullptr ? *key : CreateKey(change.key)).values;
            const auto existing = values.find(change.name);
            if (existing != values.end())
                existing->second.second = change.data; // keeps the name as first written
            else
                values.emplace(change.name, std::make_pair(change.name, change.data));
            break;
        }
        case HiveChange::Kind::DeleteValue:
            if (HiveKey* key = FindKey(change.key))
                key->values.erase(change.name);
            break;
        }
    }
}

std::string Hive::Serialize() const
{
    std::string out(kHeader);
    out += "\n";
    for (const auto& [unused, key] : keys_) {
        out += "\n[" + key.path + "]\n";
        for (const auto& [unusedName, value] : key.values) {
            const auto& [name, data] = value;
            if (name.empty())
                out += "@";
            else
                AppendQuoted(out, name);
            out += "=";
            if (data.type == RegValueType::Dword)
                out += FormatText("dword:%08x", static_cast<unsigned>(data.dword));
            else
                AppendQuoted(out, data.text);
            out += "\n";
        }
    }
    return out;
}

const HiveKey* Hive::FindKey(std::string_view path) const
{
    const auto found = keys_.find(path);
    return found == keys_.end() ? nullptr : &found->second;
}

HiveKey* Hive::FindKey(std::string_view path)
{
    const auto found = keys_.find(path);
    return found == keys_.end() ? nullptr : &found->second;
}

HiveKey& Hive::CreateKey(const std::string& path)
{
    // Parents first, below the root (roots always exist and are listed only when
    // values are set on them).
    std::size_t separator = path.find('\\');
    if (separator == std::string::npos)
        return keys_.try_emplace(path, HiveKey{path, {}}).first->second;
    // A new key is spelled as its parent is stored, followed by its own name as given.
    std::string stored = path.substr(0, separator);
    HiveKey* key = nullptr;
    while (separator != std::string::npos) {
        const std::size_t next = path.find('\\', separator + 1);
        const std::string name = path.substr(separator + 1, next - separator - 1);
        const std::string prefix = path.substr(0, next);
        auto found = keys_.find(prefix);
        if (found == keys_.end())
            found = keys_.emplace(prefix, HiveKey{stored + "\\" + name, {}}).first;
        key = &found->second;
        stored = key->path;
        separator = next;
    }
    return *key;
}

// The keys of a tree are not contiguous in the map: "Key 2" or "Key.old" sort between
// "Key" and "Key\Sub". Every key that starts with the path is, so walk those.
bool Hive::DeleteTree(const std::string& path)
{
    bool found = false;
    for (auto at = keys_.lower_bound(path); at != keys_.end() && StartsWithNoCase(at->first, path);) {
        if (IsInTree(at->first, path)) {
            at = keys_.erase(at);
            found = true;
        } else {
            ++at;
        }
    }
    return found;
}

std::vector<const HiveKey*> Hive::Tree(const std::string& path) const
{
    std::vector<const HiveKey*> tree;
    for (auto at = keys_.lower_bound(path); at != keys_.end() && StartsWithNoCase(at->first, path); ++at) {
        if (IsInTree(at->first, path))
            tree.push_back(&at->second);
    }
    return tree;
}

std::vector<std::string> Hive::SubkeyNames(const std::string& path) const
{
    std::vector<std::string> names;
    for (const HiveKey* key : Tree(path)) {
        if (key->path.size() == path.size())
            continue;
        const std::string_view rest = std::string_view(key->path).substr(path.size() + 1);
        if (rest.find('\\') == std::string_view::npos)
            names.emplace_back(rest);
    }
    return names;
}
