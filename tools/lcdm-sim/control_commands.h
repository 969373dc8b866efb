// The commands of the control channel, carried out against the shared device:
//   fault FAULT...                 apply each fault (all are checked first)  -> OK
//   reset [model=M] [cassette1=N] [cassette2=N] [near-end=N]
//                                  fresh device, ground truth and faults     -> OK
//   truth                          the ground-truth summary as one JSON line
//   frames                         every frame and byte in and out, as one JSON line
// Anything wrong -> "ERROR reason".
#pragma once

#include "device_model.h"
#include "shared_device.h"

#include <string>

namespace lcdm {

// `defaults` is the configuration a reset starts from (the one the simulator started with).
std::string ExecuteControlLine(const std::string& line, SharedDevice& device, const DeviceConfig& defaults);

// Applies reset arguments ("model=LCDM-1000", "cassette1=40", ...) to `config`.
// Raises std::invalid_argument for an unknown key or a bad value.
void ApplyResetArgument(const std::string& argument, DeviceConfig& config);

} // namespace lcdm
