// How the lcdm-sim program waits for its end; one backend file per platform.
#pragma once

namespace lcdm {

// Installs the SIGTERM/SIGINT handlers and ignores SIGPIPE (Windows: the console's Ctrl+C,
// Ctrl+Break and close). Call once, before any thread starts.
void InstallShutdownSignals();

// Blocks until one of those arrives or, when `watchStdin`, standard input ends.
void WaitForShutdown(bool watchStdin);

} // namespace lcdm
