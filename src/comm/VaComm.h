#pragma once
// The comm port object: owns one serial device, its settings, and while open
// an event thread (port events to the main thread) and a writer thread
// (queued writes). Every public operation runs on the main thread.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "comm/VaClasses.h"
#include "comm/VaDcb.h"
#include "comm/VaPrst.h"
#include "comm/VaSupport.h"
#include "comm/VaTypes.h"
#include "platform/comm_records.h"
#include "toolkit/component.h"
#include "toolkit/object.h"
#include "toolkit/thread.h"

namespace platform {
class SerialDevice;
}

namespace comm {

class TVaCustomComm;
class TVaCommEventThread;
class TVaCommWriteThread;

// Shared by the port and its threads for one open period. Read and written on
// the main thread only: a hand-off from a thread first checks `open`, so
// nothing queued for the main thread reaches a closed or destroyed port.
struct CommLifetime {
  bool open = true;
};

// After a transient device failure a port thread reports it and waits this
// long before it tries again; after a lasting one (the device is gone, or
// shut down at Close) it waits for its stop request. One rule for both
// threads, so neither spins and neither goes silent for good.
constexpr uint32_t kTransientFailurePauseMs = 100;

// A display component that shows the port's state; refreshed before each
// event delivery.
class TVaDisplay : public tk::TComponent {
 public:
  using tk::TComponent::TComponent;
  std::string ClassName() const override { return "TVaDisplay"; }
  virtual void UpdateDisplay(TVaCustomComm& comm) = 0;
};

// Something that takes a port's events and received blocks. Attached with
// TVaCustomComm::AttachClient; detaches itself when destroyed.
class TVaCommClient {
 public:
  TVaCommClient() = default;
  virtual ~TVaCommClient();
  TVaCommClient(const TVaCommClient&) = delete;
  TVaCommClient& operator=(const TVaCommClient&) = delete;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on) { enabled_ = on; }
  // The port this client is attached to, or null.
  TVaCustomComm* Comm() const { return comm_; }

  virtual void CommEvents(uint32_t evt_mask) = 0;
  virtual void CommData(const uint8_t* data, int32_t count) = 0;

 private:
  friend class TVaCustomComm;
  bool enabled_ = true;
  TVaCustomComm* comm_ = nullptr;
};

// Errors: the device's line error flags (platform kCe* bits).
struct TVaCommStatus {
  uint32_t Errors = 0;
  platform::ComStat ComStat;
};

using TVaCommErrorEvent = std::function<void(tk::TObject* sender, int32_t errors)>;
using TVaCommRxCharEvent = std::function<void(tk::TObject* sender, int32_t count)>;
using TVaCommRxBufEvent =
    std::function<void(tk::TObject* sender, const uint8_t* data, int32_t count)>;

// Integer subrange 0..2147483647 of PortNum.
using TVaPortInt = int32_t;

class TVaCustomComm : public TVaComponent {
 public:
  explicit TVaCustomComm(tk::TComponent* owner = nullptr);
  ~TVaCustomComm() override;

  std::string ClassName() const override { return "TVaCustomComm"; }

  // ---- operations ----
  // Opens and configures the device, starts the threads, fires OnOpen.
  // Raises EVaCommError; the port is then closed.
  void Open();
  // Stops the threads, releases the device, fires OnClose. Nothing when closed.
  void Close();
  bool Active() const { return device_ != nullptr; }

  // Bytes accepted. Closed: 0.
  int32_t WriteBuf(const void* buf, int32_t count);
  // Bytes read (never waits for data). Closed: 0.
  int32_t ReadBuf(void* buf, int32_t count);
  // True when every character was accepted; an empty text gives true.
  bool WriteText(const std::string& text);
  // Everything waiting in the receive queue; empty when closed or nothing waits.
  std::string ReadText();
  // Fresh error flags (cleared in the device) and queue counts.
  void GetStatus(TVaCommStatus& status);
  int32_t InQueCount();
  // True when the device reports error flags; fires OnError with them.
  bool CheckErrors();
  // True once the open port's device has vanished (see OnDeviceGone), also
  // before that notification has run.
  bool DeviceGone() const;

  void AttachClient(TVaCommClient& client);
  void DetachClient(TVaCommClient& client);

  // ---- what the threads use ----
  // The open device; null when closed.
  std::shared_ptr<platform::SerialDevice> Device() const { return device_; }
  std::shared_ptr<CommLifetime> Lifetime() const { return lifetime_; }
  void LockWrite() { write_lock_.Enter(); }
  void UnlockWrite() { write_lock_.Leave(); }
  void UpdateDisplay();
  virtual void HandleRxChar();
  virtual void HandleEvents(uint32_t evt_mask);

  // ---- properties ----
  bool AutoOpen() const { return auto_open_; }
  void SetAutoOpen(bool value) { auto_open_ = value; }
  TVaBaudrate Baudrate() const { return line_.Baudrate; }
  void SetBaudrate(TVaBaudrate value);
  TVaParity Parity() const { return line_.Parity; }
  void SetParity(TVaParity value);
  TVaDatabits Databits() const { return line_.Databits; }
  void SetDatabits(TVaDatabits value);
  TVaStopbits Stopbits() const { return line_.Stopbits; }
  void SetStopbits(TVaStopbits value);
  TVaCommOptions Options() const { return line_.Options; }
  void SetOptions(TVaCommOptions value);
  int32_t UserBaudrate() const { return line_.UserBaudrate; }
  void SetUserBaudrate(int32_t value);

  TVaEventChars& EventChars() { return *event_chars_; }
  void SetEventChars(const TVaEventChars& value) { event_chars_->Assign(&value); }
  TVaFlowControl& FlowControl() { return *flow_control_; }
  void SetFlowControl(const TVaFlowControl& value) { flow_control_->Assign(&value); }
  TVaBuffers& Buffers() { return *buffers_; }
  const TVaBuffers& Buffers() const { return *buffers_; }
  void SetBuffers(const TVaBuffers& value);

  // Frozen while open: writing raises.
  TVaPortInt PortNum() const { return port_num_; }
  void SetPortNum(TVaPortInt value);
  // A format text taking PortNum ("COM%d"); a path, a name under /dev, or COMn.
  const std::string& DeviceName() const { return device_name_; }
  void SetDeviceName(const std::string& value);
  TVaCommEvents MonitorEvents() const { return monitor_events_; }
  void SetMonitorEvents(TVaCommEvents value);
  bool DirectWrite() const { return direct_write_; }
  void SetDirectWrite(bool value);
  bool UpdateDCB() const { return update_dcb_; }
  void SetUpdateDCB(bool value);

  tk::TThreadPriority EventPriority() const { return event_priority_; }
  void SetEventPriority(tk::TThreadPriority value);
  tk::TThreadPriority WritePriority() const { return write_priority_; }
  void SetWritePriority(tk::TThreadPriority value);

  TVaDisplay* Display() const { return display_; }
  void SetDisplay(TVaDisplay* display);

  // The device event mask computed at Open.
  uint32_t EventMask() const { return event_mask_; }
  // DeviceName formatted with PortNum: the name used in messages.
  std::string DeviceTitle() const;
  // The device path opened.
  std::string DevicePath() const;

  // ---- notifications (run on the main thread) ----
  tk::TNotifyEvent OnOpen, OnClose, OnCts, OnDsr, OnRlsd, OnRing, OnBreak;
  TVaCommErrorEvent OnError;
  TVaCommRxCharEvent OnRxChar;
  TVaCommRxBufEvent OnRxBuf;
  tk::TNotifyEvent OnRxFlag, OnTxEmpty, OnPErr, OnRx80Full, OnEvent1, OnEvent2;
  // The open port's device has vanished: the line hung up, or the adapter was
  // unplugged (the device's kEvDeviceGone). Fired once per open period, on
  // the main thread through the threads' hand-off (as the last step of
  // HandleEvents, after the notifications for bytes that came before),
  // whichever thread saw it first and whatever MonitorEvents holds. The port
  // stays open until Close; from then on every write raises EVaCommError
  // "Device <DeviceTitle> is gone: the adapter may have been unplugged." at
  // once, with the system error number (one that the platform classifies as
  // gone, such as EIO on Linux) as its ErrorCode.
  tk::TNotifyEvent OnDeviceGone;

  void Loaded() override;

 protected:
  virtual void OpenDevice();
  virtual void CreateThreads();
  virtual void NotifyClientEvents(uint32_t evt_mask);
  virtual void NotifyClientData(const uint8_t* data, int32_t count);
  void Notification(tk::TComponent* component, tk::TOperation operation) override;

  void CloseDevice() noexcept;
  // Marks the open period over: no hand-off of its threads reaches the port.
  void EndOpenPeriod() noexcept;
  void DestroyThreads();
  void ApplyDCB();
  void ApplyBuffers();
  void ApplyTimeouts();
  void ApplyEventMask();
  void CheckClosed();
  // Raises EVaCommError with `fmt` filled with the last system error (%d)
  // and its text (%s).
  [[noreturn]] void RaiseCommError(const std::string& fmt);
  [[noreturn]] void RaiseCommError(const std::string& fmt, int code);
  [[noreturn]] void RaiseDeviceGone(int code);
  void CheckResult(bool ok, const std::string& fmt);
  void LockRead() { read_lock_.Enter(); }
  void UnlockRead() { read_lock_.Leave(); }
  void DoOpen();
  void DoClose();

  // Names of the handlers bound from a window definition, for writing it back.
  std::map<std::string, std::string> bound_handler_names_;

 private:
  void BuffersChanged(TVaPersistent* sender);
  void EventCharsChanged(TVaPersistent* sender);
  void FlowControlChanged(TVaPersistent* sender);

  std::shared_ptr<platform::SerialDevice> device_;  // PortHandle
  std::shared_ptr<CommLifetime> lifetime_;
  TVaCriticalSection write_lock_;
  TVaCriticalSection read_lock_;
  TVaWaitEvent io_event_;
  TVaCommEventThread* event_thread_ = nullptr;        // frees itself when it ends
  std::unique_ptr<TVaCommWriteThread> write_thread_;  // retired at Close
  uint32_t event_mask_ = 0;
  bool auto_open_ = false;
  TVaPortInt port_num_ = 0;
  std::string device_name_ = "\\\\.\\COM%d";
  TVaCommEvents monitor_events_{ceError, ceRxChar, ceTxEmpty};
  std::vector<TVaCommClient*> clients_;  // not owned
  std::unique_ptr<TVaBuffers> buffers_;
  std::unique_ptr<TVaEventChars> event_chars_;
  std::unique_ptr<TVaFlowControl> flow_control_;
  tk::TThreadPriority event_priority_ = tk::TThreadPriority::tpNormal;
  tk::TThreadPriority write_priority_ = tk::TThreadPriority::tpHighest;
  bool direct_write_ = false;
  TVaLineSettings line_;
  bool update_dcb_ = true;
  TVaDisplay* display_ = nullptr;
  bool destroying_ = false;
  bool device_gone_reported_ = false;  // OnDeviceGone fired in this open period
  // False once destruction has begun: a handler may destroy the port while
  // a notification sequence is still running.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// The published form of the port: its properties and events stream in the
// window-definition text.
class TVaComm : public TVaCustomComm {
 public:
  explicit TVaComm(tk::TComponent* owner = nullptr);
  std::string ClassName() const override { return "TVaComm"; }
  tk::PropertyList PublishedProperties() override;

 private:
  template <class Handler, class Adapt>
  tk::PublishedProperty EventProperty(const char* name, Handler& member, Adapt adapt);
};

}  // namespace comm
