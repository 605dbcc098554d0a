#pragma once
// The settings objects of a comm port: queue sizes and time-outs, flow
// control, and the special characters. Each reports its changes to the port
// through OnChange (see TVaPersistent).
#include <cstdint>
#include <string>

#include "comm/VaClasses.h"
#include "comm/VaTypes.h"

namespace comm {

// Integer subrange 0..2147483647 of the settings. Values are not checked when
// set in code; the device judges them when they are applied.
using TVaIntW = int32_t;

class TVaBuffers : public TVaPersistent {
 public:
  std::string ClassName() const override { return "TVaBuffers"; }

  TVaIntW ReadSize() const { return read_size_; }
  void SetReadSize(TVaIntW value);
  TVaIntW WriteSize() const { return write_size_; }
  void SetWriteSize(TVaIntW value);
  // The time-outs change without notification: they may change at any time.
  TVaIntW ReadTimeout() const { return read_timeout_; }
  void SetReadTimeout(TVaIntW value) { read_timeout_ = value; }
  TVaIntW WriteTimeout() const { return write_timeout_; }
  void SetWriteTimeout(TVaIntW value) { write_timeout_ = value; }
  TVaIntW XonLimit() const { return xon_limit_; }
  void SetXonLimit(TVaIntW value);
  TVaIntW XoffLimit() const { return xoff_limit_; }
  void SetXoffLimit(TVaIntW value);

  void Assign(const tk::TPersistent* source) override;
  tk::PropertyList PublishedProperties() override;

 private:
  TVaIntW read_size_ = 4096;
  TVaIntW write_size_ = 2048;
  TVaIntW read_timeout_ = 1000;
  TVaIntW write_timeout_ = 1000;
  TVaIntW xon_limit_ = 1024;
  TVaIntW xoff_limit_ = 1024;
};

class TVaFlowControl : public TVaPersistent {
 public:
  std::string ClassName() const override { return "TVaFlowControl"; }

  bool OutCtsFlow() const { return out_cts_flow_; }
  void SetOutCtsFlow(bool value);
  bool OutDsrFlow() const { return out_dsr_flow_; }
  void SetOutDsrFlow(bool value);
  TVaControlDtr ControlDtr() const { return control_dtr_; }
  void SetControlDtr(TVaControlDtr value);
  TVaControlRts ControlRts() const { return control_rts_; }
  void SetControlRts(TVaControlRts value);
  bool XonXoffOut() const { return xon_xoff_out_; }
  void SetXonXoffOut(bool value);
  bool XonXoffIn() const { return xon_xoff_in_; }
  void SetXonXoffIn(bool value);
  bool DsrSensitivity() const { return dsr_sensitivity_; }
  void SetDsrSensitivity(bool value);
  bool TxContinueOnXoff() const { return tx_continue_on_xoff_; }
  void SetTxContinueOnXoff(bool value);

  void Assign(const tk::TPersistent* source) override;
  tk::PropertyList PublishedProperties() override;

 private:
  bool out_cts_flow_ = false;
  bool out_dsr_flow_ = false;
  TVaControlDtr control_dtr_ = dtrDisabled;
  TVaControlRts control_rts_ = rtsDisabled;
  bool xon_xoff_out_ = false;
  bool xon_xoff_in_ = false;
  bool dsr_sensitivity_ = false;
  bool tx_continue_on_xoff_ = false;
};

class TVaEventChars : public TVaPersistent {
 public:
  // Indexes of the characters.
  enum Index { kXonChar = 1, kXoffChar = 2, kErrorChar = 3, kEventChar = 4, kEofChar = 5 };

  std::string ClassName() const override { return "TVaEventChars"; }

  // Reads the character of an index (1..5); 0 for any other index.
  char Char(int index) const;
  // Stores and notifies on every write, also of an unchanged value, so that
  // an open port rewrites its device settings. Other indexes are ignored.
  void SetChar(int index, char value);

  char XonChar() const { return Char(kXonChar); }
  void SetXonChar(char value) { SetChar(kXonChar, value); }
  char XoffChar() const { return Char(kXoffChar); }
  void SetXoffChar(char value) { SetChar(kXoffChar, value); }
  char ErrorChar() const { return Char(kErrorChar); }
  void SetErrorChar(char value) { SetChar(kErrorChar, value); }
  char EventChar() const { return Char(kEventChar); }
  void SetEventChar(char value) { SetChar(kEventChar, value); }
  char EofChar() const { return Char(kEofChar); }
  void SetEofChar(char value) { SetChar(kEofChar, value); }

  void Assign(const tk::TPersistent* source) override;
  tk::PropertyList PublishedProperties() override;

 private:
  // Index 1..5 at chars_[index - 1].
  char chars_[5] = {17, 19, 0, 0, 0};
};

}  // namespace comm
