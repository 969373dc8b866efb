// Counter arithmetic that stops at the ends of the range instead of wrapping: note
// counts are money, and a wrapped count is a wrong count.
#pragma once

#include <cstdint>
#include <limits>

constexpr std::uint32_t SaturatingAdd(std::uint32_t a, std::uint32_t b)
{
    return a > std::numeric_limits<std::uint32_t>::max() - b ? std::numeric_limits<std::uint32_t>::max() : a + b;
}

constexpr std::uint32_t SaturatingSubtract(std::uint32_t a, std::uint32_t b)
{
    return a < b ? 0 : a - b;
}

constexpr std::uint32_t SaturatingMultiply(std::uint32_t a, std::uint32_t b)
{
    const std::uint64_t product = static_cast<std::uint64_t>(a) * b;
    return product > std::numeric_limits<std::uint32_t>::max() ? std::numeric_limits<std::uint32_t>::max()
                                                              : static_cast<std::uint32_t>(product);
}
