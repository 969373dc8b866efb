// Follows a growing text file line by line, as `tail -F` does: only whole lines are
// handed out (a line still being written waits for its end), a file that was cut
// short is read again from its start, and when the path changes (the next day's
// file) the rest of the old file is read before the new one.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class LogFollower {
public:
    using Line = std::function<void(std::string_view line)>;

    // Hands out the last `lastLines` whole lines of the file (every line with
    // kAllLines) and remembers where the file ends. Returns whether the file exists.
    bool Start(const std::string& path, std::size_t lastLines, const Line& line);
    static constexpr std::size_t kAllLines = static_cast<std::size_t>(-1);

    // Hands out every line written since the last call, from the file `path` names
    // now. Returns whether the file exists.
    bool Poll(const std::string& path, const Line& line);

    // The last `count` lines of a text, in order (all of them when there are fewer).
    static std::vector<std::string_view> LastLines(std::string_view text, std::size_t count);

private:
    void ReadNew(const Line& line);

    std::string path_;
    std::uint64_t offset_ = 0;
    std::string partial_; // the start of a line that has no end yet
};

// Splits text into lines without their "\n" or "\r\n"; a last line without an end is kept.
std::vector<std::string_view> SplitLines(std::string_view text);
