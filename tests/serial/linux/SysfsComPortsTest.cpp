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

// A tty whose device lies at `devicePath` below the tree's devices folder; the attribute files
// of `usbDevice` (below devices too) as given, an absent value leaving its file out.
struct FakeTty {
    const char* name;
    const char* devicePath; // nullptr: the tty has no device
    const char* usbDevice;  // nullptr: on no USB bus
    const char* vendor;
    const char* product;
    const char* productString;
    const char* manufacturer;
    const char* serial;
    const char* expected;
};

TEST_F(FakeSysfs, DescriptionsTellWhatSysfsKnows) {
    const FakeTty table[] = {
        {"ttyUSB0", "pci0000:00/usb1/1-1/1-1:1.0/ttyUSB0", "pci0000:00/usb1/1-1", "0403", "6001",
         "FT232R USB UART", "FTDI", "A5XK3RJT",
         "FT232R USB UART, FTDI, USB 0403:6001, nr ser. A5XK3RJT"},
        {"ttyUSB1", "pci0000:00/usb1/1-2/1-2:1.0/ttyUSB1", "pci0000:00/usb1/1-2", "067b", "2303",
         "USB-Serial Controller", "Prolific Technology Inc. ", nullptr,
         "USB-Serial Controller, Prolific Technology Inc., USB 067b:2303"},
        {"ttyACM0", "pci0000:00/usb1/1-3/1-3:1.0", "pci0000:00/usb1/1-3", "2341", "0043", nullptr,
         nullptr, "85736323838351F0A0A1", "USB 2341:0043, nr ser. 85736323838351F0A0A1"},
        {"ttyS0", "pnp0/00:04", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
         "wbudowany port szeregowy"},
        {"ttyS5", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, ""},
    };
    for (const FakeTty& t : table) {
        const fs::path tty = root_ / "class" / "tty" / t.name;
        fs::create_directories(tty);
        if (t.devicePath != nullptr) {
            fs::create_directories(root_ / "devices" / t.devicePath);
            fs::create_directory_symlink(root_ / "devices" / t.devicePath, tty / "device");
        }
        if (t.usbDevice != nullptr) {
            const fs::path usb = root_ / "devices" / t.usbDevice;
            const std::pair<const char*, const char*> files[] = {{"idVendor", t.vendor},
                                                                 {"idProduct", t.product},
                                                                 {"product", t.productString},
                                                                 {"manufacturer", t.manufacturer},
                                                                 {"serial", t.serial}};
            for (const auto& [file, value] : files)
                if (value != nullptr)
                    std::ofstream(usb / file) << value << "\n";
        }
    }
    for (const FakeTty& t : table)
        EXPECT_EQ(PortDetailText(SysfsPortFacts(root_.string(), std::string("/dev/") + t.name)),
                  t.expected)
            << t.name;
    // A tree that cannot be read describes nothing.
    EXPECT_EQ(PortDetailText(SysfsPortFacts((root_ / "none").string(), "/dev/ttyUSB0")), "");
}

} // namespace
} // namespace tolvar
