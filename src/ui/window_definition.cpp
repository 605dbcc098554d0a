#include "ui/window_definition.h"

namespace quarnel {

std::string_view VaCommDefinition() {
  return R"(object VaComm: TVaComm
  EventChars.XonChar = #0
  EventChars.XoffChar = #0
  EventChars.EventChar = #10
  EventChars.EofChar = #10
  FlowControl.OutCtsFlow = False
  FlowControl.OutDsrFlow = False
  FlowControl.ControlDtr = dtrDisabled
  FlowControl.ControlRts = rtsDisabled
  FlowControl.XonXoffOut = False
  FlowControl.XonXoffIn = False
  FlowControl.DsrSensitivity = False
  FlowControl.TxContinueOnXoff = False
  DeviceName = 'COM%d'
  MonitorEvents = [ceRxFlag]
  OnRxFlag = VaCommRxFlag
end
)";
}

}  // namespace quarnel
