#include "tools/dispenserctl/file_text.h"

#include <fstream>
#include <iterator>

std::filesystem::path PathOf(const std::string& utf8Path)
{
    return std::filesystem::path(std::u8string(utf8Path.begin(), utf8Path.end()));
}

std::optional<std::string> ReadFileFrom(const std::string& path, std::uint64_t offset)
{
    std::ifstream file(PathOf(path), std::ios::binary);
    if (!file)
        return std::nullopt;
    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    if (size < 0 || static_cast<std::uint64_t>(size) <= offset)
        return std::string();
    file.seekg(static_cast<std::streamoff>(offset));
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}
