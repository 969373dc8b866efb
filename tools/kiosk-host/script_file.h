// Reading a command script: one command per line, blank lines and # lines skipped.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct ScriptLine {
    int number = 0;   // 1 for the file's first line
    std::string word; // the command, a leading "--" removed
    std::string rest; // the argument: the rest of the line, blanks around it removed
};

// The script's commands (UTF-8, a leading byte-order mark and CR line ends allowed);
// throws UsageError naming shownName when the file cannot be read.
std::vector<ScriptLine> ReadScript(const std::filesystem::path& path, const std::string& shownName);
