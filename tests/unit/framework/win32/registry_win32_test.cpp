// Windows registry backend details the portable tests cannot see.
#include "framework/registry.h"

#include <gtest/gtest.h>

// HKLM\HARDWARE lives only until the next start; keys made below it (the serial-port
// list a fresh wine prefix may not have yet) must be made the same way.
TEST(RegistryWin32, KeysBelowAVolatileKeyCanBeCreated)
{
    const std::string parent = "HARDWARE\\DEVICEMAP";
    RegKey(RegistryRoot::LocalMachine, parent, true, RegAccessAll).DeleteTree("OrvaneVolatileTest");
    {
        RegKey key(RegistryRoot::LocalMachine, parent + "\\OrvaneVolatileTest\\Ports", true, RegAccessAll);
        key.Write("COM3", RegData::String("COM3"));
        EXPECT_EQ(key.ReadString("COM3"), "COM3");
    }
    RegKey(RegistryRoot::LocalMachine, parent, true, RegAccessAll).DeleteTree("OrvaneVolatileTest");
    EXPECT_FALSE(RegKey(RegistryRoot::LocalMachine, parent + "\\OrvaneVolatileTest", false, RegAccessRead).IsOpen());
}
