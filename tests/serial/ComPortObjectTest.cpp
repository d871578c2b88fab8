// The port object against a recording device: which device operations run, in which order, and
// what state a failure at each step leaves.
#include "framework/FormReader.h"
#include "serial/ComPort.h"
#include "tests/support/Raised.h"

#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tolvar {
namespace {

using test::Raised;

using Log = std::vector<std::string>;

struct DeviceRecord {
    Log log;
    std::map<std::string, std::int32_t> failWith; // operation -> error number it raises
    TComLineSettings line;
    TComTimeoutValues timeouts;
    std::int32_t inputSize = 0;
    std::int32_t outputSize = 0;
    TComModemStatus modem;
    bool open = false;
};

constexpr std::int32_t kOsCode = 4242;

class FakeDevice : public TComDevice {
public:
    explicit FakeDevice(DeviceRecord& r) : r_(r) {}

    bool IsOpen() const override { return r_.open; }
    std::intptr_t Handle() const override { return r_.open ? 7 : -1; }
    void Open(const std::string& name) override {
        Step("open:" + name, "open");
        r_.open = true;
    }
    void Close() noexcept override {
        r_.log.push_back("close");
        r_.open = false;
    }
    void SetQueueSizes(std::int32_t in, std::int32_t out) override {
        Step("queue", "queue");
        r_.inputSize = in;
        r_.outputSize = out;
    }
    void SetLine(const TComLineSettings& s) override {
        Step("line", "line");
        r_.line = s;
    }
    void SetTimeouts(const TComTimeoutValues& t) override {
        Step("timeouts", "timeouts");
        r_.timeouts = t;
    }
    std::int32_t Write(const void*, std::int32_t count) override {
        Step("write", "write");
        return count - 1;
    }
    std::int32_t Read(void*, std::int32_t count) override {
        Step("read", "read");
        return count / 2;
    }
    std::int32_t InputCount() override {
        Step("input", "input");
        return 5;
    }
    TComModemStatus ModemStatus() override {
        Step("modem", "modem");
        return r_.modem;
    }
    void Purge() override { Step("purge", "purge"); }
    void PurgeInput() override { Step("purge input", "purge input"); }

private:
    void Step(const std::string& entry, const std::string& op) {
        r_.log.push_back(entry);
        if (const auto it = r_.failWith.find(op); it != r_.failWith.end())
            throw EComPort(it->second, kOsCode);
    }
    DeviceRecord& r_;
};

class RecordedPort : public TComPort {
public:
    explicit RecordedPort(DeviceRecord& r) : TComPort(nullptr, std::make_unique<FakeDevice>(r)) {}
};

const Log kOpenSteps{"open:COM1", "queue", "line", "timeouts", "modem", "modem", "modem"};

TEST(ComPortObject, OpenRunsItsStepsInOrderAndOnlyOnce) {
    DeviceRecord r;
    RecordedPort port(r);
    port.Close(); // never opened: nothing
    EXPECT_TRUE(r.log.empty());
    port.Open();
    EXPECT_EQ(r.log, kOpenSteps);
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(r.inputSize, 1024);
    EXPECT_EQ(r.line.baudRate, 9600);
    EXPECT_EQ(r.timeouts.writeTotalConstant, 1000u);

    r.log.clear();
    port.Open(); // already open: nothing applied again
    EXPECT_TRUE(r.log.empty());

    port.Close();
    EXPECT_EQ(r.log, (Log{"purge", "close"}));
    EXPECT_FALSE(port.Connected());
    r.log.clear();
    port.Close();
    EXPECT_TRUE(r.log.empty());
}

TEST(ComPortObject, TheSignalReportFollowsTheDevice) {
    DeviceRecord r;
    RecordedPort port(r);
    std::string seen;
    port.OnCTSChange = [&](bool on) { seen += on ? "C" : "c"; };
    port.OnDSRChange = [&](bool on) { seen += on ? "D" : "d"; };
    port.OnRLSDChange = [&](bool on) { seen += on ? "R" : "r"; };
    r.modem = {true, false, true};
    port.Open();
    EXPECT_EQ(seen, "CdR");
    r.modem = {false, true, false};
    port.Close(); // reported as off, whatever the device says
    EXPECT_EQ(seen, "CdRcdr");
}

TEST(ComPortObject, AFailureAtEachOpenStepLeavesTheDocumentedState) {
    struct Case {
        std::string op;
        std::int32_t code;
        Log log;
        bool open;
    };
    const std::vector<Case> cases{
        {"open", 1, {"open:COM1"}, false},
        {"queue", 9, {"open:COM1", "queue", "close"}, false},
        {"line", 7, {"open:COM1", "queue", "line", "close"}, false},
        {"timeouts", 8, {"open:COM1", "queue", "line", "timeouts", "close"}, false},
        // The signal report comes after the setup: the port stays open.
        {"modem", 11, {"open:COM1", "queue", "line", "timeouts", "modem"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.op);
        DeviceRecord r;
        r.failWith[c.op] = c.code;
        RecordedPort port(r);
        bool afterOpen = false;
        port.OnAfterOpen = [&] { afterOpen = true; };
        const EComPort e = Raised([&] { port.Open(); });
        EXPECT_EQ(e.PortErrorCode(), c.code);
        EXPECT_EQ(e.OsErrorCode(), kOsCode);
        EXPECT_EQ(r.log, c.log);
        EXPECT_EQ(port.Connected(), c.open);
        EXPECT_EQ(afterOpen, c.open);
        // A closed port starts again from the beginning.
        r.failWith.clear();
        r.log.clear();
        port.Open();
        EXPECT_EQ(r.log, c.open ? Log{} : kOpenSteps);
    }
}

TEST(ComPortObject, AFailedPurgeLeavesThePortOpenAndCloseStartsAgain) {
    DeviceRecord r;
    RecordedPort port(r);
    port.Open();
    r.log.clear();
    r.failWith["purge"] = 5;
    bool afterClose = false;
    port.OnAfterClose = [&] { afterClose = true; };
    const EComPort e = Raised([&] { port.Close(); });
    EXPECT_EQ(e.PortErrorCode(), 5);
    EXPECT_EQ(r.log, Log{"purge"});
    EXPECT_TRUE(port.Connected());
    EXPECT_FALSE(afterClose);
    r.failWith.clear();
    port.Close();
    EXPECT_EQ(r.log, (Log{"purge", "purge", "close"}));
    EXPECT_TRUE(afterClose);
}

TEST(ComPortObject, DestroyingReleasesTheDeviceEvenWhenThePurgeFails) {
    DeviceRecord r;
    {
        RecordedPort port(r);
        port.Open();
        r.log.clear();
        r.failWith["purge"] = 5;
    }
    EXPECT_EQ(r.log, (Log{"purge", "close"}));
    EXPECT_FALSE(r.open);
}

TEST(ComPortObject, TransfersGoToTheDeviceAndReadChecksTheQueue) {
    DeviceRecord r;
    RecordedPort port(r);
    port.Open();
    r.log.clear();
    char buf[8] = {};
    EXPECT_EQ(port.Write(buf, 8), 7);
    EXPECT_EQ(port.Read(buf, 8), 4);
    EXPECT_EQ(port.InputCount(), 5);
    EXPECT_EQ(r.log, (Log{"write", "read", "input", "input"}));
    r.failWith["input"] = 10;
    EXPECT_EQ(Raised([&] { port.Read(buf, 1); }).PortErrorCode(), 10);
}

TEST(ComPortObject, UpdatesHoldTheAppliesBackAndTheLastEndUpdateSetsUpOnce) {
    DeviceRecord r;
    RecordedPort port(r);
    port.EndUpdate(); // unbalanced: ignored, the applies still work
    port.Open();
    r.log.clear();
    port.BeginUpdate();
    port.BeginUpdate();
    port.SetBaudRate(br115200);
    port.Timeouts().SetReadInterval(30);
    port.Buffer().SetInputSize(2048);
    port.EndUpdate();
    EXPECT_TRUE(r.log.empty());
    port.EndUpdate();
    EXPECT_EQ(r.log, (Log{"queue", "line", "timeouts"}));
    EXPECT_EQ(r.line.baudRate, 115200);
    EXPECT_EQ(r.timeouts.readInterval, 30u);
    EXPECT_EQ(r.inputSize, 2048);

    r.log.clear();
    port.SetStopBits(sbTwoStopBits); // back to applying at once
    EXPECT_EQ(r.log, Log{"line"});

    // On a closed port the last EndUpdate applies nothing.
    port.Close();
    r.log.clear();
    port.BeginUpdate();
    port.EndUpdate();
    EXPECT_TRUE(r.log.empty());
}

TEST(ComPortObject, EachSetterAppliesItsGroupOnceAndOnlyOnAnOpenPort) {
    struct Case {
        const char* name;
        void (*prep)(TCustomComPort&); // what the setting depends on, set beforehand
        void (*set)(TCustomComPort&);
        const char* op;
        bool (*reached)(const DeviceRecord&);
    };
    const Case cases[] = {
        {"BaudRate", nullptr, [](TCustomComPort& p) { p.SetBaudRate(br57600); }, "line",
         [](const DeviceRecord& r) { return r.line.baudRate == 57600; }},
        {"CustomBaudRate", [](TCustomComPort& p) { p.SetBaudRate(brCustom); },
         [](TCustomComPort& p) { p.SetCustomBaudRate(31250); }, "line",
         [](const DeviceRecord& r) { return r.line.baudRate == 31250; }},
        {"DataBits", nullptr, [](TCustomComPort& p) { p.SetDataBits(dbSeven); }, "line",
         [](const DeviceRecord& r) { return r.line.byteSize == 7; }},
        {"StopBits", nullptr, [](TCustomComPort& p) { p.SetStopBits(sbOne5StopBits); }, "line",
         [](const DeviceRecord& r) { return r.line.stopBits == 1; }},
        {"DiscardNull", nullptr, [](TCustomComPort& p) { p.SetDiscardNull(true); }, "line",
         [](const DeviceRecord& r) { return r.line.discardNull; }},
        {"EventChar", nullptr, [](TCustomComPort& p) { p.SetEventChar('E'); }, "line",
         [](const DeviceRecord& r) { return r.line.eventChar == 'E'; }},
        {"Parity.Bits", nullptr, [](TCustomComPort& p) { p.Parity().SetBits(prSpace); }, "line",
         [](const DeviceRecord& r) { return r.line.parity == 4; }},
        {"Parity.Check", nullptr, [](TCustomComPort& p) { p.Parity().SetCheck(true); }, "line",
         [](const DeviceRecord& r) { return r.line.parityCheck && !r.line.errorCharOn; }},
        {"Parity.Replace",
         [](TCustomComPort& p) {
             p.Parity().SetCheck(true);
             p.Parity().SetReplaceChar('?');
         },
         [](TCustomComPort& p) { p.Parity().SetReplace(true); }, "line",
         [](const DeviceRecord& r) { return r.line.errorCharOn && r.line.errorChar == '?'; }},
        {"Parity.ReplaceChar", nullptr, [](TCustomComPort& p) { p.Parity().SetReplaceChar('?'); },
         "line", // without Check and Replace the character is not used
         [](const DeviceRecord& r) { return !r.line.errorCharOn && r.line.errorChar == 0; }},
        {"OutCTSFlow", nullptr, [](TCustomComPort& p) { p.FlowControl().SetOutCTSFlow(true); },
         "line", [](const DeviceRecord& r) { return r.line.outCtsFlow && !r.line.outDsrFlow; }},
        {"OutDSRFlow", nullptr, [](TCustomComPort& p) { p.FlowControl().SetOutDSRFlow(true); },
         "line", [](const DeviceRecord& r) { return r.line.outDsrFlow && !r.line.outCtsFlow; }},
        {"ControlDTR", nullptr,
         [](TCustomComPort& p) { p.FlowControl().SetControlDTR(dtrHandshake); }, "line",
         [](const DeviceRecord& r) { return r.line.dtrControl == 2; }},
        {"ControlRTS", nullptr, [](TCustomComPort& p) { p.FlowControl().SetControlRTS(rtsToggle); },
         "line", [](const DeviceRecord& r) { return r.line.rtsControl == 3; }},
        {"XonXoffOut", nullptr, [](TCustomComPort& p) { p.FlowControl().SetXonXoffOut(true); },
         "line", [](const DeviceRecord& r) { return r.line.outX && !r.line.inX; }},
        {"XonXoffIn", nullptr, [](TCustomComPort& p) { p.FlowControl().SetXonXoffIn(true); },
         "line", [](const DeviceRecord& r) { return r.line.inX && !r.line.outX; }},
        {"DSRSensitivity", nullptr,
         [](TCustomComPort& p) { p.FlowControl().SetDSRSensitivity(true); }, "line",
         [](const DeviceRecord& r) { return r.line.dsrSensitivity; }},
        {"TxContinueOnXoff", nullptr,
         [](TCustomComPort& p) { p.FlowControl().SetTxContinueOnXoff(true); }, "line",
         [](const DeviceRecord& r) { return r.line.txContinueOnXoff; }},
        {"XonChar", nullptr, [](TCustomComPort& p) { p.FlowControl().SetXonChar('a'); }, "line",
         [](const DeviceRecord& r) { return r.line.xonChar == 'a' && r.line.xoffChar == 0x13; }},
        {"XoffChar", nullptr, [](TCustomComPort& p) { p.FlowControl().SetXoffChar('b'); }, "line",
         [](const DeviceRecord& r) { return r.line.xoffChar == 'b' && r.line.xonChar == 0x11; }},
        {"ReadInterval", nullptr, [](TCustomComPort& p) { p.Timeouts().SetReadInterval(11); },
         "timeouts", [](const DeviceRecord& r) { return r.timeouts.readInterval == 11u; }},
        {"ReadTotalMultiplier", nullptr,
         [](TCustomComPort& p) { p.Timeouts().SetReadTotalMultiplier(12); }, "timeouts",
         [](const DeviceRecord& r) { return r.timeouts.readTotalMultiplier == 12u; }},
        {"ReadTotalConstant", nullptr,
         [](TCustomComPort& p) { p.Timeouts().SetReadTotalConstant(13); }, "timeouts",
         [](const DeviceRecord& r) { return r.timeouts.readTotalConstant == 13u; }},
        {"WriteTotalMultiplier", nullptr,
         [](TCustomComPort& p) { p.Timeouts().SetWriteTotalMultiplier(14); }, "timeouts",
         [](const DeviceRecord& r) { return r.timeouts.writeTotalMultiplier == 14u; }},
        {"WriteTotalConstant", nullptr,
         [](TCustomComPort& p) { p.Timeouts().SetWriteTotalConstant(15); }, "timeouts",
         [](const DeviceRecord& r) { return r.timeouts.writeTotalConstant == 15u; }},
        {"InputSize", nullptr, [](TCustomComPort& p) { p.Buffer().SetInputSize(4096); }, "queue",
         [](const DeviceRecord& r) { return r.inputSize == 4096 && r.outputSize == 1024; }},
        {"OutputSize", nullptr, [](TCustomComPort& p) { p.Buffer().SetOutputSize(512); }, "queue",
         [](const DeviceRecord& r) { return r.outputSize == 512 && r.inputSize == 1024; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeviceRecord r;
        RecordedPort port(r);
        if (c.prep)
            c.prep(port);
        c.set(port); // closed: only stored
        EXPECT_TRUE(r.log.empty());
        port.Open();
        EXPECT_TRUE(c.reached(r)) << "the stored value reaches the device on open";

        DeviceRecord r2;
        RecordedPort open(r2);
        open.Open();
        if (c.prep)
            c.prep(open);
        r2.log.clear();
        c.set(open);
        EXPECT_EQ(r2.log, Log{c.op});
        EXPECT_TRUE(c.reached(r2));
        r2.log.clear();
        c.set(open); // the value already held: nothing
        EXPECT_TRUE(r2.log.empty());
    }
}

TEST(ComPortObject, PortNameReopensOnlyAnOpenPort) {
    DeviceRecord r;
    RecordedPort port(r);
    port.SetPort("COM3");
    EXPECT_TRUE(r.log.empty());
    port.Open();
    r.log.clear();
    port.SetPort("COM3");
    port.SetPort("COM4");
    EXPECT_EQ(r.log, (Log{"purge", "close", "open:COM4", "queue", "line", "timeouts", "modem",
                          "modem", "modem"}));
}

TEST(ComPortObject, ConnectedStoredWhileLoadingIsOnlyAWish) {
    DeviceRecord r;
    RecordedPort port(r);
    port.BeginLoading();
    port.SetConnected(true); // stored before Port, as a description may have it
    EXPECT_FALSE(port.Connected());
    EXPECT_NO_THROW(port.SetPort("COM5"));
    EXPECT_NO_THROW(port.SetSyncMethod(smNone));
    EXPECT_NO_THROW(port.SetEventThreadPriority(tpHigher));
    port.SetBaudRate(br115200);
    EXPECT_TRUE(r.log.empty());
    port.Loaded();
    EXPECT_EQ(r.log, (Log{"open:COM5", "queue", "line", "timeouts", "modem", "modem", "modem"}));
    EXPECT_EQ(r.line.baudRate, 115200);

    // Stored false, or stored true and then false: nothing opens.
    DeviceRecord r2;
    RecordedPort other(r2);
    other.BeginLoading();
    other.SetConnected(true);
    other.SetConnected(false);
    other.Loaded();
    EXPECT_TRUE(r2.log.empty());
    EXPECT_FALSE(other.Connected());

    // Outside loading the value opens and closes.
    other.SetConnected(true);
    EXPECT_TRUE(other.Connected());
    other.SetConnected(false);
    EXPECT_FALSE(other.Connected());
    EXPECT_EQ(r2.log.back(), "close");
}

TEST(ComPortObject, AppliesWaitWhileAnOpenPortIsBeingLoaded) {
    DeviceRecord r;
    RecordedPort port(r);
    port.Open();
    r.log.clear();
    port.BeginLoading();
    port.SetBaudRate(br115200);
    EXPECT_TRUE(r.log.empty());
    port.Loaded();
    port.SetBaudRate(br57600);
    EXPECT_EQ(r.log, Log{"line"});
}

} // namespace
} // namespace tolvar

namespace tolvar {
namespace {

// Every setting of a settings group read from a stored description lands in its own member.
TEST(ComPortClass, StoredGroupSettingsReachTheirMembers) {
    TClassRegistry registry;
    registry.Register("TRoot", "");
    RegisterComPortClass(registry);
    const char* description = R"(<object class="TRoot" name="Root">
  <object class="TComPort" name="ComPort">
    <property name="Parity.Bits">prMark</property>
    <property name="Parity.Check">True</property>
    <property name="Parity.Replace">True</property>
    <property name="Parity.ReplaceChar">63</property>
    <property name="FlowControl.OutCTSFlow">True</property>
    <property name="FlowControl.OutDSRFlow">True</property>
    <property name="FlowControl.ControlDTR">dtrHandshake</property>
    <property name="FlowControl.ControlRTS">rtsToggle</property>
    <property name="FlowControl.XonXoffOut">True</property>
    <property name="FlowControl.XonXoffIn">True</property>
    <property name="FlowControl.DSRSensitivity">True</property>
    <property name="FlowControl.TxContinueOnXoff">True</property>
    <property name="FlowControl.XonChar">1</property>
    <property name="FlowControl.XoffChar">2</property>
    <property name="Timeouts.ReadInterval">11</property>
    <property name="Timeouts.ReadTotalMultiplier">12</property>
    <property name="Timeouts.ReadTotalConstant">13</property>
    <property name="Timeouts.WriteTotalMultiplier">14</property>
    <property name="Timeouts.WriteTotalConstant">15</property>
    <property name="Buffer.InputSize">400</property>
    <property name="Buffer.OutputSize">600</property>
  </object>
</object>)";
    TComponent root;
    ReadDescription(description, root, "TRoot", registry, THandlerTable());
    const auto* port = dynamic_cast<TComPort*>(root.FindComponent("ComPort"));
    ASSERT_NE(port, nullptr);
    const TComParity& p = port->Parity();
    EXPECT_EQ(p.Bits(), prMark);
    EXPECT_TRUE(p.Check() && p.Replace());
    EXPECT_EQ(p.ReplaceChar(), '?');
    const TComFlowControl& f = port->FlowControl();
    EXPECT_TRUE(f.OutCTSFlow() && f.OutDSRFlow() && f.XonXoffOut() && f.XonXoffIn() &&
                f.DSRSensitivity() && f.TxContinueOnXoff());
    EXPECT_EQ(f.ControlDTR(), dtrHandshake);
    EXPECT_EQ(f.ControlRTS(), rtsToggle);
    EXPECT_EQ(f.XonChar(), '\x01');
    EXPECT_EQ(f.XoffChar(), '\x02');
    const TComTimeoutValues t = port->TimeoutValues();
    EXPECT_EQ(
        std::vector<std::uint32_t>({t.readInterval, t.readTotalMultiplier, t.readTotalConstant,
                                    t.writeTotalMultiplier, t.writeTotalConstant}),
        (std::vector<std::uint32_t>{11, 12, 13, 14, 15}));
    EXPECT_EQ(port->Buffer().InputSize(), 400);
    EXPECT_EQ(port->Buffer().OutputSize(), 600);
}

} // namespace
} // namespace tolvar
