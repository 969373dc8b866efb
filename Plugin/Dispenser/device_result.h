// The device's result codes that the operations act on. Every code's text is the
// request base's (DispenserQuery::ErrorText); these are the ones with a meaning of
// their own for the bookkeeping.
#pragma once

#include <cstdint>

enum class DeviceResult : std::uint8_t {
    Good = 0x30,
    NormalStop = 0x31,
    UpperBillEnd = 0x38, // cassette #1 is empty
    LowerBillEnd = 0x40, // cassette #2 is empty
};

constexpr std::uint8_t Code(DeviceResult result)
{
    return static_cast<std::uint8_t>(result);
}

// An answer without a device error.
constexpr bool IsSuccess(std::uint8_t code)
{
    return code == Code(DeviceResult::Good) || code == Code(DeviceResult::NormalStop);
}

// The device reports a cassette empty (either one).
constexpr bool IsBillEnd(std::uint8_t code)
{
    return code == Code(DeviceResult::UpperBillEnd) || code == Code(DeviceResult::LowerBillEnd);
}

// The cassette (1 upper, 2 lower) whose end the code reports, or 0.
constexpr int BillEndCassette(std::uint8_t code)
{
    if (code == Code(DeviceResult::UpperBillEnd))
        return 1;
    if (code == Code(DeviceResult::LowerBillEnd))
        return 2;
    return 0;
}
