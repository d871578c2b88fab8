#include "framework/ClassRegistry.h"
#include "serial/ComPort.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace tolvar {

namespace {

char ParseChar(const TStoredValue& v) {
    const std::int32_t code = ParseInt(v);
    if (code < 0 || code > 255)
        throw Exception("'" + v.text + "' is not a valid character code");
    return static_cast<char>(code);
}

std::int32_t ParseInteger(const TStoredValue& v) {
    return ParseInt(v);
}

template <typename E>
std::function<E(const TStoredValue&)>
EnumOf(std::initializer_list<std::pair<const char*, E>> names) {
    std::vector<std::pair<std::string, int>> table;
    for (const auto& [n, e] : names)
        table.emplace_back(n, static_cast<int>(e));
    return [table](const TStoredValue& v) { return static_cast<E>(ParseEnumName(v.text, table)); };
}

// A stored "Group.Member" property goes to the group's own setter, reached through the port's
// accessor of that group; the port needs no forwarding member for it.
template <typename G, typename V, typename Parse>
TClassInfo::Setter InGroup(G& (TCustomComPort::*group)(), void (G::*set)(V), Parse parse) {
    return [group, set, parse](TComponent& c, const TStoredValue& v) {
        ((TClassInfo::As<TCustomComPort>(c).*group)().*set)(parse(v));
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
        .Property("EventChar",
                  [](TComponent& c, const TStoredValue& v) {
                      TClassInfo::As<P>(c).SetEventChar(ParseChar(v));
                  })
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
        .Property("Parity.Bits", InGroup(&P::Parity, &TComParity::SetBits,
                                         EnumOf<TParityBits>({{"prNone", prNone},
                                                              {"prOdd", prOdd},
                                                              {"prEven", prEven},
                                                              {"prMark", prMark},
                                                              {"prSpace", prSpace}})))
        .Property("Parity.Check", InGroup(&P::Parity, &TComParity::SetCheck, ParseBool))
        .Property("Parity.Replace", InGroup(&P::Parity, &TComParity::SetReplace, ParseBool))
        .Property("Parity.ReplaceChar", InGroup(&P::Parity, &TComParity::SetReplaceChar, ParseChar))
        .Property("FlowControl.OutCTSFlow",
                  InGroup(&P::FlowControl, &TComFlowControl::SetOutCTSFlow, ParseBool))
        .Property("FlowControl.OutDSRFlow",
                  InGroup(&P::FlowControl, &TComFlowControl::SetOutDSRFlow, ParseBool))
        .Property("FlowControl.ControlDTR",
                  InGroup(&P::FlowControl, &TComFlowControl::SetControlDTR,
                          EnumOf<TDTRFlowControl>({{"dtrDisable", dtrDisable},
                                                   {"dtrEnable", dtrEnable},
                                                   {"dtrHandshake", dtrHandshake}})))
        .Property("FlowControl.ControlRTS",
                  InGroup(&P::FlowControl, &TComFlowControl::SetControlRTS,
                          EnumOf<TRTSFlowControl>({{"rtsDisable", rtsDisable},
                                                   {"rtsEnable", rtsEnable},
                                                   {"rtsHandshake", rtsHandshake},
                                                   {"rtsToggle", rtsToggle}})))
        .Property("FlowControl.XonXoffOut",
                  InGroup(&P::FlowControl, &TComFlowControl::SetXonXoffOut, ParseBool))
        .Property("FlowControl.XonXoffIn",
                  InGroup(&P::FlowControl, &TComFlowControl::SetXonXoffIn, ParseBool))
        .Property("FlowControl.DSRSensitivity",
                  InGroup(&P::FlowControl, &TComFlowControl::SetDSRSensitivity, ParseBool))
        .Property("FlowControl.TxContinueOnXoff",
                  InGroup(&P::FlowControl, &TComFlowControl::SetTxContinueOnXoff, ParseBool))
        .Property("FlowControl.XonChar",
                  InGroup(&P::FlowControl, &TComFlowControl::SetXonChar, ParseChar))
        .Property("FlowControl.XoffChar",
                  InGroup(&P::FlowControl, &TComFlowControl::SetXoffChar, ParseChar))
        .Property("Timeouts.ReadInterval",
                  InGroup(&P::Timeouts, &TComTimeouts::SetReadInterval, ParseInteger))
        .Property("Timeouts.ReadTotalMultiplier",
                  InGroup(&P::Timeouts, &TComTimeouts::SetReadTotalMultiplier, ParseInteger))
        .Property("Timeouts.ReadTotalConstant",
                  InGroup(&P::Timeouts, &TComTimeouts::SetReadTotalConstant, ParseInteger))
        .Property("Timeouts.WriteTotalMultiplier",
                  InGroup(&P::Timeouts, &TComTimeouts::SetWriteTotalMultiplier, ParseInteger))
        .Property("Timeouts.WriteTotalConstant",
                  InGroup(&P::Timeouts, &TComTimeouts::SetWriteTotalConstant, ParseInteger))
        .Property("Buffer.InputSize", InGroup(&P::Buffer, &TComBuffer::SetInputSize, ParseInteger))
        .Property("Buffer.OutputSize",
                  InGroup(&P::Buffer, &TComBuffer::SetOutputSize, ParseInteger));
}

} // namespace tolvar
