#include "app/FormClasses.h"

#include "framework/Controls.h"
#include "framework/StdControls.h"
#include "serial/ComComboBox.h"
#include "serial/ComPort.h"
#include "wizard/Assist.h"

namespace tolvar {

namespace {

auto CharProperty(void (TCustomComPort::*set)(char)) {
    return [set](TComponent& c, const TStoredValue& v) {
        const std::int32_t code = ParseInt(v);
        if (code < 0 || code > 255)
            throw Exception("'" + v.text + "' is not a valid character code");
        (TClassInfo::As<TCustomComPort>(c).*set)(static_cast<char>(code));
    };
}

} // namespace

void RegisterComPortClass(TClassRegistry& registry) {
    TClassInfo& info = registry.Register("TComPort", "", [](TComponent* owner, TComponent*) {
        return static_cast<TComponent*>(new TComPort(owner));
    });
    using P = TCustomComPort;
    info.String("Port", &P::SetPort)
        .Bool("Connected", &P::SetConnected)
        .Enum("BaudRate", &P::SetBaudRate,
              {{"brCustom", brCustom},
               {"br110", br110},
               {"br300", br300},
               {"br600", br600},
               {"br1200", br1200},
               {"br2400", br2400},
               {"br4800", br4800},
               {"br9600", br9600},
               {"br14400", br14400},
               {"br19200", br19200},
               {"br38400", br38400},
               {"br56000", br56000},
               {"br57600", br57600},
               {"br115200", br115200},
               {"br128000", br128000},
               {"br256000", br256000}})
        .Int("CustomBaudRate", &P::SetCustomBaudRate)
        .Enum("DataBits", &P::SetDataBits,
              {{"dbFive", dbFive}, {"dbSix", dbSix}, {"dbSeven", dbSeven}, {"dbEight", dbEight}})
        .Enum("StopBits", &P::SetStopBits,
              {{"sbOneStopBit", sbOneStopBit},
               {"sbOne5StopBits", sbOne5StopBits},
               {"sbTwoStopBits", sbTwoStopBits}})
        .Bool("DiscardNull", &P::SetDiscardNull)
        .Property("EventChar", CharProperty(&P::SetEventChar))
        .Enum("SyncMethod", &P::SetSyncMethod,
              {{"smThreadSync", smThreadSync}, {"smWindowSync", smWindowSync}, {"smNone", smNone}})
        .Property("Events",
                  [](TComponent& c, const TStoredValue& v) {
                      TComEvents events;
                      for (const std::string& n : ParseSetNames(v))
                          events.Include(static_cast<TComEvent>(
                              ParseEnumName(n, {{"evRxChar", evRxChar},
                                                {"evTxEmpty", evTxEmpty},
                                                {"evRxFlag", evRxFlag},
                                                {"evRing", evRing},
                                                {"evBreak", evBreak},
                                                {"evCTS", evCTS},
                                                {"evDSR", evDSR},
                                                {"evError", evError},
                                                {"evRLSD", evRLSD},
                                                {"evRx80Full", evRx80Full}})));
                      TClassInfo::As<P>(c).SetEvents(events);
                  })
        .Enum("Parity.Bits", &P::SetParityBits,
              {{"prNone", prNone},
               {"prOdd", prOdd},
               {"prEven", prEven},
               {"prMark", prMark},
               {"prSpace", prSpace}})
        .Bool("Parity.Check", &P::SetParityCheck)
        .Bool("Parity.Replace", &P::SetParityReplace)
        .Property("Parity.ReplaceChar", CharProperty(&P::SetParityReplaceChar))
        .Bool("FlowControl.OutCTSFlow", &P::SetFlowControlOutCTSFlow)
        .Bool("FlowControl.OutDSRFlow", &P::SetFlowControlOutDSRFlow)
        .Enum(
            "FlowControl.ControlDTR", &P::SetFlowControlControlDTR,
            {{"dtrDisable", dtrDisable}, {"dtrEnable", dtrEnable}, {"dtrHandshake", dtrHandshake}})
        .Enum("FlowControl.ControlRTS", &P::SetFlowControlControlRTS,
              {{"rtsDisable", rtsDisable},
               {"rtsEnable", rtsEnable},
               {"rtsHandshake", rtsHandshake},
               {"rtsToggle", rtsToggle}})
        .Bool("FlowControl.XonXoffOut", &P::SetFlowControlXonXoffOut)
        .Bool("FlowControl.XonXoffIn", &P::SetFlowControlXonXoffIn)
        .Bool("FlowControl.DSRSensitivity", &P::SetFlowControlDSRSensitivity)
        .Bool("FlowControl.TxContinueOnXoff", &P::SetFlowControlTxContinueOnXoff)
        .Property("FlowControl.XonChar", CharProperty(&P::SetFlowControlXonChar))
        .Property("FlowControl.XoffChar", CharProperty(&P::SetFlowControlXoffChar))
        .Int("Timeouts.ReadInterval", &P::SetTimeoutsReadInterval)
        .Int("Timeouts.ReadTotalMultiplier", &P::SetTimeoutsReadTotalMultiplier)
        .Int("Timeouts.ReadTotalConstant", &P::SetTimeoutsReadTotalConstant)
        .Int("Timeouts.WriteTotalMultiplier", &P::SetTimeoutsWriteTotalMultiplier)
        .Int("Timeouts.WriteTotalConstant", &P::SetTimeoutsWriteTotalConstant)
        .Int("Buffer.InputSize", &P::SetBufferInputSize)
        .Int("Buffer.OutputSize", &P::SetBufferOutputSize);
}

const TClassRegistry& FormClasses() {
    static const TClassRegistry registry = [] {
        TClassRegistry r;
        RegisterControlClasses(r);
        RegisterStandardControls(r);
        RegisterWizardClasses(r);
        RegisterComPortClass(r);
        RegisterComComboBox(r);
        r.Register("TForm1", "TForm");
        return r;
    }();
    return registry;
}

} // namespace tolvar
