#include "tools/dispenserctl/text_table.h"

#include <algorithm>

void TextTable::Add(Row row)
{
    rows_.push_back(std::move(row));
}

std::vector<std::string> TextTable::Lines() const
{
    std::vector<std::size_t> widths;
    for (const Row& row : rows_) {
        if (widths.size() < row.size())
            widths.resize(row.size(), 0);
        for (std::size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], Width(row[i]));
    }
    std::vector<std::string> lines;
    for (const Row& row : rows_) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size())
                line.append(widths[i] - Width(row[i]) + 2, ' ');
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::size_t TextTable::Width(std::string_view text)
{
    // Continuation bytes (10xxxxxx) do not start a character.
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}
