// What SetupAPI's ports class tells of each port, as the dropped list shows it.

#include "serial/win32/SetupApiPorts.h"

#include "serial/EnumComPorts.h"
#include "serial/Platform.h"
#include "tests/support/WineCheck.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tolvar {
namespace {

using Names = std::vector<std::string>;

TEST(SetupApiDetails, TheLineTellsWhatTheDeviceSays) {
    struct Row {
        TSetupApiPort port;
        const char* expected;
    };
    const Row table[] = {
        {{"COM3", "USB Serial Port (COM3)", "FTDI", "USB\\VID_0403&PID_6001\\A5XK3RJT"},
         "USB Serial Port, FTDI, USB 0403:6001, nr ser. A5XK3RJT"},
        // An instance id that Windows made up carries no serial number.
        {{"COM4", "Prolific USB-to-Serial Comm Port (COM4)", "Prolific",
          "USB\\VID_067B&PID_2303\\5&2A3B4C5D&0&2"},
         "Prolific USB-to-Serial Comm Port, Prolific, USB 067B:2303"},
        {{"COM5", "USB Serial Port (COM5)", "FTDI", "FTDIBUS\\VID_0403+PID_6015+DN05JQ4HA\\0000"},
         "USB Serial Port, FTDI, USB 0403:6015, nr ser. DN05JQ4H"},
        {{"COM1", "Communications Port (COM1)", "(Standard port types)", "ACPI\\PNP0501\\0"},
         "Communications Port, (Standard port types)"},
        {{"COM6", "", "", ""}, ""},
    };
    for (const Row& row : table)
        EXPECT_EQ(PortDetailText(SetupApiPortFacts(row.port)), row.expected) << row.port.portName;

    // Matched by PortName, letter case ignored; a name no device has shows alone.
    std::vector<TSetupApiPort> ports;
    for (const Row& row : table)
        ports.push_back(row.port);
    EXPECT_EQ(SetupApiPortDetails({"com3", "COM1", "COM9", ""}, ports),
              (Names{table[0].expected, table[3].expected, "", ""}));
}

TEST(SetupApiDetails, UnderWineCom1IsListedWithItsNameAlone) {
    if (!test::RunningUnderWine())
        GTEST_SKIP() << "what SetupAPI knows of a real machine's ports is not ours to predict";
    Names ports;
    ASSERT_NO_THROW(EnumComPorts(ports));
    ASSERT_NE(std::find(ports.begin(), ports.end(), "COM1"), ports.end());
    EXPECT_EQ(SystemComPortDetails({"COM1"}), Names{""});
}

} // namespace
} // namespace tolvar
