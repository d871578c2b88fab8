#include "serial/EnumComPorts.h"

#include "serial/EComPort.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

namespace tolvar {
namespace {

using Names = std::vector<std::string>;

Names Enumerated(Names raw) {
    Names out;
    EnumComPorts(out, [raw] { return raw; });
    return out;
}

TEST(ComPortOrder, TextualCaseInsensitiveAndDuplicatesKept) {
    EXPECT_EQ(Enumerated({"COM2", "COM10", "COM1"}), (Names{"COM1", "COM10", "COM2"}));
    EXPECT_EQ(Enumerated({"COM3", "COM1"}), (Names{"COM1", "COM3"}));
    EXPECT_EQ(Enumerated({"com3", "COM1", "Com2"}), (Names{"COM1", "Com2", "com3"}));
    EXPECT_EQ(Enumerated({"COM1", "COM5", "COM1"}), (Names{"COM1", "COM1", "COM5"}));
    EXPECT_EQ(Enumerated({"", "COM1"}), (Names{"", "COM1"}));
    EXPECT_EQ(Enumerated({}), Names{});
}

TEST(ComPortOrder, UninstalledUserLocaleStillSorts) {
    const char* old = getenv("LC_ALL");
    const std::string saved = old ? old : "";
    setenv("LC_ALL", "xx_XX.UTF-8", 1);
    EXPECT_EQ(Enumerated({"COM2", "com1"}), (Names{"com1", "COM2"}));
    if (old)
        setenv("LC_ALL", saved.c_str(), 1);
    else
        unsetenv("LC_ALL");
}

TEST(ComPortSource, FailingSourceLeavesTheTargetUntouched) {
    Names ports{"COM9"};
    EXPECT_THROW(EnumComPorts(ports, []() -> Names { throw EComPort(CError_RegError, 5); }),
                 EComPort);
    EXPECT_EQ(ports, Names{"COM9"});
}

TEST(ComPortSource, InjectedSourceServesTheDefaultCall) {
    const TComPortSource previous = SetComPortSource([] { return Names{"COM4", "COM2"}; });
    Names ports;
    EnumComPorts(ports);
    EXPECT_EQ(ports, (Names{"COM2", "COM4"}));
    SetComPortSource(previous);
}

} // namespace
} // namespace tolvar
