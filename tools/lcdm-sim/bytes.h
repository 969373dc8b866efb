// The byte vector every piece of the simulator passes around.
#pragma once

#include <cstdint>
#include <vector>

namespace lcdm {

using Bytes = std::vector<std::uint8_t>;

} // namespace lcdm
