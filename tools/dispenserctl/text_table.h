// A plain text table: columns padded to their widest cell (counted in characters, not
// bytes, so Cyrillic texts line up), two blanks between columns.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class TextTable {
public:
    using Row = std::vector<std::string>;

    void Add(Row row);
    // The table's lines, without trailing blanks.
    std::vector<std::string> Lines() const;

    // The number of characters of UTF-8 text.
    static std::size_t Width(std::string_view text);

private:
    std::vector<Row> rows_;
};
