#include "comm/VaPrst.h"

#include <limits>

#include "toolkit/streaming.h"

namespace comm {
namespace {

constexpr int64_t kIntWMax = std::numeric_limits<int32_t>::max();

tk::PublishedProperty IntProperty(const char* name, std::function<TVaIntW()> get,
                                  std::function<void(TVaIntW)> set, TVaIntW stored_default) {
  tk::PublishedProperty p;
  p.name = name;
  p.get = [get] { return std::to_string(get()); };
  p.set = [set](const std::string& v) { set(TextToInt(v, 0, kIntWMax)); };
  p.stored_default = std::to_string(stored_default);
  return p;
}

// Flow control has no stored defaults: every value is written.
tk::PublishedProperty BoolProperty(const char* name, std::function<bool()> get,
                                   std::function<void(bool)> set) {
  tk::PublishedProperty p;
  p.name = name;
  p.get = [get] { return tk::BoolToText(get()); };
  p.set = [set](const std::string& v) { set(tk::TextToBool(v)); };
  return p;
}

}  // namespace

// ---- TVaBuffers ----

void TVaBuffers::SetReadSize(TVaIntW value) {
  SetNotifying(read_size_, value);
}
void TVaBuffers::SetWriteSize(TVaIntW value) {
  SetNotifying(write_size_, value);
}
void TVaBuffers::SetXonLimit(TVaIntW value) {
  SetNotifying(xon_limit_, value);
}
void TVaBuffers::SetXoffLimit(TVaIntW value) {
  SetNotifying(xoff_limit_, value);
}

void TVaBuffers::Assign(const tk::TPersistent* source) {
  const auto* other = dynamic_cast<const TVaBuffers*>(source);
  if (!other) {
    TVaPersistent::Assign(source);
    return;
  }
  TVaUpdateBracket bracket(*this);
  read_size_ = other->read_size_;
  read_timeout_ = other->read_timeout_;
  write_size_ = other->write_size_;
  write_timeout_ = other->write_timeout_;
  xon_limit_ = other->xon_limit_;
  xoff_limit_ = other->xoff_limit_;
}

tk::PropertyList TVaBuffers::PublishedProperties() {
  return {
      IntProperty(
          "ReadSize", [this] { return ReadSize(); }, [this](TVaIntW v) { SetReadSize(v); }, 4096),
      IntProperty(
          "WriteSize", [this] { return WriteSize(); }, [this](TVaIntW v) { SetWriteSize(v); },
          2048),
      IntProperty(
          "ReadTimeout", [this] { return ReadTimeout(); }, [this](TVaIntW v) { SetReadTimeout(v); },
          1000),
      IntProperty(
          "WriteTimeout", [this] { return WriteTimeout(); },
          [this](TVaIntW v) { SetWriteTimeout(v); }, 1000),
      IntProperty(
          "XonLimit", [this] { return XonLimit(); }, [this](TVaIntW v) { SetXonLimit(v); }, 1024),
      IntProperty(
          "XoffLimit", [this] { return XoffLimit(); }, [this](TVaIntW v) { SetXoffLimit(v); },
          1024),
  };
}

// ---- TVaFlowControl ----

void TVaFlowControl::SetOutCtsFlow(bool value) {
  SetNotifying(out_cts_flow_, value);
}
void TVaFlowControl::SetOutDsrFlow(bool value) {
  SetNotifying(out_dsr_flow_, value);
}
void TVaFlowControl::SetControlDtr(TVaControlDtr value) {
  SetNotifying(control_dtr_, value);
}
void TVaFlowControl::SetControlRts(TVaControlRts value) {
  SetNotifying(control_rts_, value);
}
void TVaFlowControl::SetXonXoffOut(bool value) {
  SetNotifying(xon_xoff_out_, value);
}
void TVaFlowControl::SetXonXoffIn(bool value) {
  SetNotifying(xon_xoff_in_, value);
}
void TVaFlowControl::SetDsrSensitivity(bool value) {
  SetNotifying(dsr_sensitivity_, value);
}
void TVaFlowControl::SetTxContinueOnXoff(bool value) {
  SetNotifying(tx_continue_on_xoff_, value);
}

void TVaFlowControl::Assign(const tk::TPersistent* source) {
  const auto* other = dynamic_cast<const TVaFlowControl*>(source);
  if (!other) {
    TVaPersistent::Assign(source);
    return;
  }
  TVaUpdateBracket bracket(*this);
  SetOutCtsFlow(other->OutCtsFlow());
  SetOutDsrFlow(other->OutDsrFlow());
  SetControlDtr(other->ControlDtr());
  SetControlRts(other->ControlRts());
  SetXonXoffOut(other->XonXoffOut());
  SetXonXoffIn(other->XonXoffIn());
  SetDsrSensitivity(other->DsrSensitivity());
  SetTxContinueOnXoff(other->TxContinueOnXoff());
}

tk::PropertyList TVaFlowControl::PublishedProperties() {
  tk::PublishedProperty dtr;
  dtr.name = "ControlDtr";
  dtr.get = [this] { return EnumToText(ControlDtrNames(), ControlDtr()); };
  dtr.set = [this](const std::string& v) {
    SetControlDtr(TextToEnum<TVaControlDtr>(ControlDtrNames(), v));
  };
  tk::PublishedProperty rts;
  rts.name = "ControlRts";
  rts.get = [this] { return EnumToText(ControlRtsNames(), ControlRts()); };
  rts.set = [this](const std::string& v) {
    SetControlRts(TextToEnum<TVaControlRts>(ControlRtsNames(), v));
  };
  return {
      BoolProperty(
          "OutCtsFlow", [this] { return OutCtsFlow(); }, [this](bool v) { SetOutCtsFlow(v); }),
      BoolProperty(
          "OutDsrFlow", [this] { return OutDsrFlow(); }, [this](bool v) { SetOutDsrFlow(v); }),
      dtr,
      rts,
      BoolProperty(
          "XonXoffOut", [this] { return XonXoffOut(); }, [this](bool v) { SetXonXoffOut(v); }),
      BoolProperty(
          "XonXoffIn", [this] { return XonXoffIn(); }, [this](bool v) { SetXonXoffIn(v); }),
      BoolProperty(
          "DsrSensitivity", [this] { return DsrSensitivity(); },
          [this](bool v) { SetDsrSensitivity(v); }),
      BoolProperty(
          "TxContinueOnXoff", [this] { return TxContinueOnXoff(); },
          [this](bool v) { SetTxContinueOnXoff(v); }),
  };
}

// ---- TVaEventChars ----

char TVaEventChars::Char(int index) const {
  return index >= kXonChar && index <= kEofChar ? chars_[index - 1] : '\0';
}

void TVaEventChars::SetChar(int index, char value) {
  if (index < kXonChar || index > kEofChar) return;
  chars_[index - 1] = value;
  Changed();
}

void TVaEventChars::Assign(const tk::TPersistent* source) {
  const auto* other = dynamic_cast<const TVaEventChars*>(source);
  if (!other) {
    TVaPersistent::Assign(source);
    return;
  }
  TVaUpdateBracket bracket(*this);
  for (int i = kXonChar; i <= kEofChar; ++i) SetChar(i, other->Char(i));
}

tk::PropertyList TVaEventChars::PublishedProperties() {
  static constexpr struct {
    const char* name;
    Index index;
    char stored_default;
  } kChars[] = {{"XonChar", kXonChar, 17},
                {"XoffChar", kXoffChar, 19},
                {"ErrorChar", kErrorChar, 0},
                {"EventChar", kEventChar, 0},
                {"EofChar", kEofChar, 0}};
  tk::PropertyList list;
  for (const auto& c : kChars) {
    tk::PublishedProperty p;
    p.name = c.name;
    const Index index = c.index;
    p.get = [this, index] { return tk::CharToText(Char(index)); };
    p.set = [this, index](const std::string& v) { SetChar(index, tk::TextToChar(v)); };
    p.stored_default = tk::CharToText(c.stored_default);
    list.push_back(std::move(p));
  }
  return list;
}

}  // namespace comm
