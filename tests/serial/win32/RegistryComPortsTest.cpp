// The port list from HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, with values that the tests write. The
// key is volatile and belongs to the system, so this runs only in Wine's test prefix.

#include "serial/EComPort.h"
#include "serial/EnumComPorts.h"
#include "tests/support/WineCheck.h"

#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace tolvar {
namespace {

constexpr const char* kKey = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

struct SavedValue {
    std::string name;
    DWORD type = 0;
    std::vector<BYTE> data;
};

class SerialCommKey : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::RunningUnderWine())
            GTEST_SKIP() << "changes the system's port registry; runs only in Wine's test prefix";
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, REG_OPTION_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &key_, nullptr),
                  ERROR_SUCCESS);
        for (DWORD i = 0;; ++i) {
            char name[512];
            BYTE data[1024];
            DWORD nameLength = sizeof name, dataLength = sizeof data, type = 0;
            if (RegEnumValueA(key_, i, name, &nameLength, nullptr, &type, data, &dataLength) !=
                ERROR_SUCCESS)
                break;
            saved_.push_back(
                {std::string(name, nameLength), type, std::vector<BYTE>(data, data + dataLength)});
        }
        for (const auto& v : saved_)
            RegDeleteValueA(key_, v.name.c_str());
    }

    void TearDown() override {
        if (key_ == nullptr)
            return;
        RegCloseKey(key_);
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &key_, nullptr);
        for (const auto& name : written_)
            RegDeleteValueA(key_, name.c_str());
        for (const auto& v : saved_)
            RegSetValueExA(key_, v.name.c_str(), 0, v.type, v.data.data(),
                           static_cast<DWORD>(v.data.size()));
        RegCloseKey(key_);
    }

    // A value as a port driver writes it: the name with its terminating zero.
    void Put(const std::string& valueName, const std::string& port) {
        std::vector<BYTE> data(port.begin(), port.end());
        data.push_back(0);
        PutBytes(valueName, data, REG_SZ);
    }
    void PutBytes(const std::string& valueName, const std::vector<BYTE>& data, DWORD type) {
        ASSERT_EQ(RegSetValueExA(key_, valueName.c_str(), 0, type, data.data(),
                                 static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS);
        written_.push_back(valueName);
    }

    static std::vector<std::string> List() {
        std::vector<std::string> list{"left over"};
        EnumComPorts(list);
        return list;
    }

    HKEY key_ = nullptr;
    std::vector<SavedValue> saved_;
    std::vector<std::string> written_;
};

TEST_F(SerialCommKey, NamesComeSortedTextuallyIgnoringCaseWithDuplicatesKept) {
    Put("\\Device\\Serial2", "COM2");
    Put("\\Device\\Serial10", "COM10");
    Put("\\Device\\Serial0", "COM1");
    Put("\\Device\\Other", "com1");
    Put("\\Device\\Twin", "COM2");
    const auto list = List();
    ASSERT_EQ(list.size(), 5u);
    // COM1 and com1 may come in either order; the rest is fixed.
    EXPECT_EQ(list[2], "COM10");
    EXPECT_EQ(list[3], "COM2");
    EXPECT_EQ(list[4], "COM2");
    EXPECT_TRUE((list[0] == "COM1" && list[1] == "com1") ||
                (list[0] == "com1" && list[1] == "COM1"));
}

TEST_F(SerialCommKey, EmptyKeyGivesAnEmptyList) {
    EXPECT_TRUE(List().empty());
}

TEST_F(SerialCommKey, DataWithoutBytesGivesAnEmptyEntryAndTheLastByteIsAlwaysDropped) {
    PutBytes("\\Device\\Empty", {}, REG_SZ);
    // Binary data passes unconverted, so here nothing ends in a zero; the type is not looked at.
    PutBytes("\\Device\\Bare", {'C', 'O', 'M', '7'}, REG_BINARY);
    const auto list = List();
    EXPECT_EQ(list, (std::vector<std::string>{"", "COM"}));
}

TEST_F(SerialCommKey, DataLongerThanItsBufferRaisesCode23WithMoreData) {
    Put("\\Device\\Serial0", "COM1");
    Put("\\Device\\Long", std::string(300, 'X'));
    std::vector<std::string> list{"kept"};
    try {
        EnumComPorts(list);
        FAIL() << "no EComPort raised";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.PortErrorCode(), 23);
        EXPECT_EQ(e.OsErrorCode(), ERROR_MORE_DATA);
        EXPECT_EQ(e.Message(), "Registry error (win error code: 234)");
    }
    EXPECT_EQ(list, std::vector<std::string>{"kept"});
}

TEST_F(SerialCommKey, MissingKeyRaisesCode23WithNotFoundAndLeavesTheListAlone) {
    RegCloseKey(key_);
    key_ = nullptr;
    ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey), ERROR_SUCCESS);
    std::vector<std::string> list{"kept"};
    try {
        EnumComPorts(list);
        ADD_FAILURE() << "no EComPort raised";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.PortErrorCode(), 23);
        EXPECT_EQ(e.OsErrorCode(), ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(e.Message(), "Registry error (win error code: 2)");
    }
    EXPECT_EQ(list, std::vector<std::string>{"kept"});
    // TearDown puts the key back.
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                    nullptr, &key_, nullptr);
}

} // namespace
} // namespace tolvar
