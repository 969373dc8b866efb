// How the lcdm-sim program waits for its end.
#pragma once

namespace lcdm {

// Installs the SIGTERM/SIGINT handlers and ignores SIGPIPE. Call once, before any thread starts.
void InstallShutdownSignals();

// Blocks until SIGTERM or SIGINT arrives or, when `watchStdin`, standard input ends.
void WaitForShutdown(bool watchStdin);

} // namespace lcdm
