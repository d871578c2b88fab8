#include "serial/linux/SysfsComPorts.h"

#include "serial/EComPort.h"
#include "serial/EnumComPorts.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <stdlib.h>

namespace tolvar {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

// A throw-away sysfs tree.
class FakeSysfs : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/tolvar-sysfs-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        root_ = tmpl;
    }
    void TearDown() override { fs::remove_all(root_); }

    void AddTty(const std::string& name, bool withDriver, const char* type = nullptr) {
        const fs::path dir = root_ / "class" / "tty" / name;
        fs::create_directories(dir);
        if (withDriver)
            fs::create_directories(dir / "device" / "driver");
        if (type != nullptr)
            std::ofstream(dir / "type") << type << "\n";
    }

    fs::path root_;
};

TEST_F(FakeSysfs, ListsTheSerialDevicesPresentAsSortedPaths) {
    AddTty("ttyUSB0", true);
    AddTty("ttyS0", true, "4");
    AddTty("ttyS1", true, "0"); // a legacy slot without a UART
    AddTty("ttyACM0", true);
    AddTty("ttyS10", true, "4");
    AddTty("tty0", false); // a virtual terminal
    AddTty("ptmx", false);
    Names ports{"stale"};
    EnumComPorts(ports, [this] { return SysfsComPorts(root_.string()); });
    EXPECT_EQ(ports, (Names{"/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyS10", "/dev/ttyUSB0"}));
}

TEST_F(FakeSysfs, EmptyClassFolderGivesAnEmptyList) {
    fs::create_directories(root_ / "class" / "tty");
    Names ports{"stale"};
    EnumComPorts(ports, [this] { return SysfsComPorts(root_.string()); });
    EXPECT_TRUE(ports.empty());
}

TEST_F(FakeSysfs, MissingClassFolderRaisesCode23AndLeavesTheListAlone) {
    Names ports{"COM1"};
    try {
        EnumComPorts(ports, [this] { return SysfsComPorts(root_.string()); });
        FAIL() << "no exception";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.PortErrorCode(), 23);
        EXPECT_EQ(e.OsErrorCode(), ENOENT);
        EXPECT_EQ(e.Message(), "Registry error (win error code: 2)");
    }
    EXPECT_EQ(ports, Names{"COM1"});
}

} // namespace
} // namespace tolvar
