#include "Plugin/Plugin/port_list.h"

#include "framework/registry.h"
#include "tests/support/test_registry.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using Plugin::AvailablePorts;
using Plugin::CompareComPorts;
using Plugin::ComPortNumber;
using Texts = std::vector<std::string>;

constexpr const char* kSystemPorts = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

TEST(PortList, ComPortNumbersAreReadOnlyFromWholeComNames)
{
    EXPECT_EQ(ComPortNumber("COM1"), 1u);
    EXPECT_EQ(ComPortNumber("com10"), 10u);
    EXPECT_EQ(ComPortNumber("Com 7"), 7u);
    EXPECT_EQ(ComPortNumber("COM+3"), 3u);
    EXPECT_EQ(ComPortNumber("COM99999999999"), 4294967295u); // held at the largest number
    for (const char* name : {"", "COM", "COM ", "COM3x", "COM3 ", "COMA", "USBSER", "/dev/ttyS0", "XCOM3", "COM-"})
        EXPECT_EQ(ComPortNumber(name), 0u) << name;
}

TEST(PortList, NumberedPortsSortByNumberBeforeNamesWithoutRegardToCase)
{
    EXPECT_LT(CompareComPorts("COM2", "COM10"), 0);
    EXPECT_GT(CompareComPorts("COM10", "COM2"), 0);
    EXPECT_EQ(CompareComPorts("com2", "COM2"), 0);
    EXPECT_LT(CompareComPorts("COM99", "ACM0"), 0);
    EXPECT_GT(CompareComPorts("usbser", "COM1"), 0);
    EXPECT_EQ(CompareComPorts("UsbSer", "USBSER"), 0);
    EXPECT_LT(CompareComPorts("USB", "USBSER"), 0);
    EXPECT_LT(CompareComPorts("ACM0", "usbser"), 0);
}

// The system's list is replaced for the test and put back afterwards (under wine it
// is the prefix's real list).
class SystemPorts : public ::testing::Test {
protected:
    SystemPorts() : key_(RegistryRoot::LocalMachine, kSystemPorts, true, RegAccessAll)
    {
        for (const std::string& name : key_.ValueNames()) {
            saved_[name] = *key_.Read(name);
            key_.DeleteValue(name);
        }
    }
    ~SystemPorts() override
    {
        for (const std::string& name : key_.ValueNames())
            key_.DeleteValue(name);
        for (const auto& [name, data] : saved_)
            key_.Write(name, data);
    }

    TestRegistry registry_;
    RegKey key_;
    std::map<std::string, RegData> saved_;
};

TEST_F(SystemPorts, ListIsSortedWithoutDuplicatesAndKeepsTheConfiguredPort)
{
    key_.Write("\\Device\\Serial9", RegData::String("COM10"));
    key_.Write("\\Device\\Serial1", RegData::String("COM2"));
    key_.Write("\\Device\\UsbSer0", RegData::String("USBSER"));
    key_.Write("\\Device\\Serial1b", RegData::String("com2"));
    EXPECT_EQ(AvailablePorts(""), (Texts{"COM2", "COM10", "USBSER"}));
    // A configured port the system does not list is offered as well, in its place.
    EXPECT_EQ(AvailablePorts("COM5"), (Texts{"COM2", "COM5", "COM10", "USBSER"}));
    EXPECT_EQ(AvailablePorts("COM10"), (Texts{"COM2", "COM10", "USBSER"}));
}

TEST_F(SystemPorts, OnlyTextValuesAreTakenAsPortNames)
{
    key_.Write("Serial0", RegData::String("COM3"));
    key_.Write("Broken", RegData::Dword(4));
    key_.Write("Empty", RegData::String(""));
    EXPECT_EQ(AvailablePorts(""), (Texts{"COM3"}));
}

} // namespace
