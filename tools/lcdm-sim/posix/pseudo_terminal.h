// The pseudo-terminal the host talks to, an existing terminal the simulator serves instead,
// and the symbolic links that name a pseudo-terminal.
#pragma once

#include "unique_fd.h"

#include <string>

namespace lcdm {

// A new pseudo-terminal in raw mode. The device uses the master (non-blocking); the host
// opens the slave by its path. The object keeps a slave descriptor of its own open for its
// whole life, so the master never sees a hang-up when the host closes the slave between
// exchanges (and the terminal's settings stay as the host left them).
class PseudoTerminal {
public:
    PseudoTerminal(); // raises std::system_error
    int Master() const noexcept { return master_.Get(); }
    const std::string& SlavePath() const noexcept { return slavePath_; }

private:
    UniqueFd master_;
    UniqueFd slave_;
    std::string slavePath_;
};

// An existing terminal (one end of a null-modem pair, say) opened non-blocking in raw
// mode; std::system_error when it cannot be opened or is no terminal.
UniqueFd OpenTerminal(const std::string& path);

// A symbolic link at `linkPath` pointing at `target`, removed when destroyed (if it still
// points there). An existing symbolic link at the path is replaced; any other file there
// is left alone and std::system_error is raised.
class SymbolicLink {
public:
    SymbolicLink(std::string linkPath, std::string target);
    ~SymbolicLink();
    SymbolicLink(SymbolicLink&& other) noexcept;
    SymbolicLink& operator=(SymbolicLink&&) = delete;
    SymbolicLink(const SymbolicLink&) = delete;
    SymbolicLink& operator=(const SymbolicLink&) = delete;

    const std::string& Path() const noexcept { return linkPath_; }

private:
    std::string linkPath_; // empty once moved from
    std::string target_;
};

} // namespace lcdm
