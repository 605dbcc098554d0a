#include "comm/VaComm.h"

#include <algorithm>
#include <limits>

#include "comm/VaCommEventThread.h"
#include "comm/VaCommWriteThread.h"
#include "platform/device_names.h"
#include "platform/serial_device.h"
#include "platform/system_error.h"
#include "toolkit/application.h"

namespace comm {
namespace {

const char* const kPortOpenMessage = "Can't perform this operation while port is open";

// A text placed into a message format must not add placeholders of its own.
std::string EscapePercent(const std::string& text) {
  std::string out;
  for (char c : text) {
    out += c;
    if (c == '%') out += '%';
  }
  return out;
}

}  // namespace

// ---- TVaCommClient ----

TVaCommClient::~TVaCommClient() {
  if (comm_) comm_->DetachClient(*this);
}

// ---- construction ----

TVaCustomComm::TVaCustomComm(tk::TComponent* owner)
    : TVaComponent(owner),
      buffers_(std::make_unique<TVaBuffers>()),
      event_chars_(std::make_unique<TVaEventChars>()),
      flow_control_(std::make_unique<TVaFlowControl>()) {
  buffers_->SetOnChange([this](TVaPersistent* s) { BuffersChanged(s); });
  event_chars_->SetOnChange([this](TVaPersistent* s) { EventCharsChanged(s); });
  flow_control_->SetOnChange([this](TVaPersistent* s) { FlowControlChanged(s); });
}

TVaCustomComm::~TVaCustomComm() {
  destroying_ = true;
  *alive_ = false;
  EndOpenPeriod();
  try {
    Close();
  } catch (...) {
    // A destructor cannot report; the device is released below all the same.
  }
  DestroyThreads();
  CloseDevice();
  while (!clients_.empty()) DetachClient(*clients_.back());
}

// ---- open and close ----

void TVaCustomComm::Open() {
  CheckClosed();
  OpenDevice();
  if (!Active()) return;
  try {
    ApplyDCB();
    ApplyBuffers();
    ApplyTimeouts();
    ApplyEventMask();
    CreateThreads();
    DoOpen();
  } catch (...) {
    // Threads that did start belong to this failed open period.
    EndOpenPeriod();
    LockRead();
    DestroyThreads();
    UnlockRead();
    CloseDevice();
    throw;
  }
}

void TVaCustomComm::OpenDevice() {
  auto device = platform::SerialDevice::Open(DevicePath());
  if (!device) {
    const int code = platform::LastError();
    const std::string title = EscapePercent(DeviceTitle());
    const platform::ErrorKind kind =
        platform::ClassifySystemError(code, platform::ErrorOccasion::kOpening);
    if (kind == platform::ErrorKind::kNotFound) {
      RaiseCommError("Specified device not found (" + title + ").", code);
    }
    // The device refused because it is no serial line (the operator's own
    // terminal, the console, a file): the system's text for that says little.
    if (kind == platform::ErrorKind::kNotASerialPort) {
      RaiseCommError("Can't open specified device " + title + ": it is not a serial port.", code);
    }
    RaiseCommError("Can't open specified device " + title + " (Error %d, %s)", code);
  }
  device_ = std::move(device);
  lifetime_ = std::make_shared<CommLifetime>();
  device_gone_reported_ = false;
}

void TVaCustomComm::Close() {
  if (!Active()) return;
  // First of all: releasing the threads may run hand-offs still queued for
  // the main thread, and none of them may reach this port any more.
  EndOpenPeriod();
  LockRead();
  try {
    DestroyThreads();
  } catch (...) {
    UnlockRead();
    throw;
  }
  UnlockRead();
  CloseDevice();
  DoClose();
}

void TVaCustomComm::EndOpenPeriod() noexcept {
  if (lifetime_) lifetime_->open = false;
}

void TVaCustomComm::CloseDevice() noexcept {
  EndOpenPeriod();
  lifetime_.reset();
  if (device_) {
    // Threads may still hold the device; it must be released now all the
    // same, so that the port can be opened again at once.
    device_->Shutdown();
    device_.reset();
  }
}

void TVaCustomComm::CreateThreads() {
  try {
    if (event_mask_ != 0) {
      auto thread = std::make_unique<TVaCommEventThread>(*this);
      thread->SetPriority(event_priority_);
      thread->Resume();
      // Running now: it frees itself once stopped and ended.
      event_thread_ = thread.release();
    }
    if (!direct_write_) {
      auto writer = std::make_unique<TVaCommWriteThread>(*this);
      writer->SetPriority(write_priority_);
      writer->Resume();
      write_thread_ = std::move(writer);
    }
  } catch (const tk::EThreadStartError& e) {
    // A thread that never ran is simply freed; Open stops one that did.
    throw EVaCommError("could not start the port's threads: " + e.Reason(), e.Code().value());
  }
}

void TVaCustomComm::DestroyThreads() {
  if (event_thread_) {
    TVaCommEventThread* thread = event_thread_;
    event_thread_ = nullptr;
    thread->Stop();
  }
  if (write_thread_) {
    std::unique_ptr<TVaCommWriteThread> writer = std::move(write_thread_);
    writer->Stop();
    RetireWriteThread(std::move(writer));
  }
}

void TVaCustomComm::DoOpen() {
  if (OnOpen) tk::RunGuarded([this] { OnOpen(this); }, this);
}

void TVaCustomComm::DoClose() {
  if (OnClose && !destroying_) OnClose(this);
}

// ---- applying the settings ----

void TVaCustomComm::ApplyDCB() {
  if (!Active() || !update_dcb_) return;
  const platform::Dcb dcb = BuildDcb(line_, *flow_control_, *event_chars_, *buffers_);
  CheckResult(device_->SetState(dcb), "Error writing dcb (%d), %s");
}

void TVaCustomComm::ApplyBuffers() {
  if (!Active()) return;
  CheckResult(device_->SetupQueues(static_cast<uint32_t>(buffers_->ReadSize()),
                                   static_cast<uint32_t>(buffers_->WriteSize())),
              "Error initializing buffers (%d), %s");
}

void TVaCustomComm::ApplyTimeouts() {
  if (!Active()) return;
  CheckResult(device_->SetTimeouts(BuildTimeouts()), "Error setting timeouts (%d), %s");
}

void TVaCustomComm::ApplyEventMask() {
  event_mask_ = BuildEventMask(monitor_events_, direct_write_);
  if (!Active()) return;
  CheckResult(device_->SetMask(event_mask_), " Error setting EventMask (%d), %s");
}

// ---- errors ----

void TVaCustomComm::CheckClosed() {
  if (Active()) RaiseCommError(kPortOpenMessage, 0);
}

void TVaCustomComm::RaiseCommError(const std::string& fmt) {
  RaiseCommError(fmt, platform::LastError());
}

void TVaCustomComm::RaiseCommError(const std::string& fmt, int code) {
  throw EVaCommError(FillFormat(fmt, code, CleanSystemText(platform::SystemErrorText(code))), code);
}

void TVaCustomComm::RaiseDeviceGone(int code) {
  throw EVaCommError("Device " + DeviceTitle() + " is gone: the adapter may have been unplugged.",
                     code);
}

void TVaCustomComm::CheckResult(bool ok, const std::string& fmt) {
  if (!ok) RaiseCommError(fmt);
}

// ---- names ----

std::string TVaCustomComm::DeviceTitle() const {
  // DeviceName is a format text with PortNum as its only argument.
  return FillFormat(device_name_, port_num_);
}

std::string TVaCustomComm::DevicePath() const {
  return platform::ResolveDeviceName(DeviceTitle());
}

// ---- writing and reading ----

int32_t TVaCustomComm::WriteBuf(const void* buf, int32_t count) {
  if (!Active() || count <= 0 || buf == nullptr) return 0;
  // Nothing can reach a device that has vanished: say so at once instead of
  // letting writes pile up until the buffer is full.
  if (int gone_error = 0; device_->Gone(&gone_error)) RaiseDeviceGone(gone_error);
  if (!direct_write_) {
    if (!write_thread_ || !write_thread_->Enqueue(buf, count)) {
      RaiseCommError("Output buffer is full. Please check comm status.", 0);
    }
    return count;
  }
  TVaLockGuard lock(write_lock_);
  io_event_.Reset();
  // The device returns only when nothing of this write is left pending: all
  // written, or the time-out passed (the count tells how much went out).
  const int written = device_->Write(buf, count, io_event_.Handle(),
                                     static_cast<uint32_t>(buffers_->ReadTimeout()));
  if (written < 0) {
    const int code = platform::LastError();
    if (int gone_error = 0; device_->Gone(&gone_error)) RaiseDeviceGone(gone_error);
    RaiseCommError("Write error (%d), %s", code);
  }
  return written;
}

int32_t TVaCustomComm::ReadBuf(void* buf, int32_t count) {
  if (!Active() || count <= 0 || buf == nullptr) return 0;
  TVaLockGuard lock(read_lock_);
  // Reads never wait: the device returns what it holds.
  const int got = device_->Read(buf, count);
  if (got < 0) RaiseCommError("Read error (%d), %s");
  return got;
}

bool TVaCustomComm::WriteText(const std::string& text) {
  const auto length =
      static_cast<int32_t>(std::min<size_t>(text.size(), std::numeric_limits<int32_t>::max()));
  if (length != static_cast<int64_t>(text.size())) return false;
  return WriteBuf(text.data(), length) == length;
}

std::string TVaCustomComm::ReadText() {
  const int32_t waiting = InQueCount();
  if (waiting <= 0) return {};
  std::string text(static_cast<size_t>(waiting), '\0');
  const int32_t got = ReadBuf(text.data(), waiting);
  text.resize(static_cast<size_t>(std::max(got, 0)));
  return text;
}

void TVaCustomComm::GetStatus(TVaCommStatus& status) {
  TVaLockGuard lock(read_lock_);
  status = TVaCommStatus{};
  if (!Active()) return;
  CheckResult(device_->ClearError(&status.Errors, &status.ComStat),
              "Error retrieving statistics (%d), %s");
}

int32_t TVaCustomComm::InQueCount() {
  if (!Active()) return 0;
  TVaCommStatus status;
  GetStatus(status);
  return static_cast<int32_t>(
      std::min<uint32_t>(status.ComStat.cbInQue, std::numeric_limits<int32_t>::max()));
}

bool TVaCustomComm::DeviceGone() const {
  return device_ && device_->Gone();
}

bool TVaCustomComm::CheckErrors() {
  TVaCommStatus status;
  GetStatus(status);
  const bool errors = status.Errors != 0;
  if (errors && OnError) {
    const auto flags = static_cast<int32_t>(status.Errors);
    tk::RunGuarded([this, flags] { OnError(this, flags); }, this);
  }
  return errors;
}

// ---- events from the threads ----

void TVaCustomComm::UpdateDisplay() {
  if (display_) display_->UpdateDisplay(*this);
}

void TVaCustomComm::HandleRxChar() {
  const int32_t waiting = InQueCount();
  if (waiting <= 0) return;
  if (!clients_.empty()) {
    std::vector<uint8_t> block(static_cast<size_t>(waiting));
    const int32_t got = ReadBuf(block.data(), waiting);
    NotifyClientData(block.data(), got);
  } else if (OnRxChar) {
    OnRxChar(this, waiting);
  }
}

void TVaCustomComm::HandleEvents(uint32_t evt_mask) {
  const auto mask = static_cast<int32_t>(evt_mask);
  // Each step may run a handler that destroys this port; stop there.
  const std::shared_ptr<bool> alive = alive_;
  auto set = [&alive, mask](uint32_t bit) {
    return *alive && MaskTest(static_cast<int32_t>(bit), mask);
  };
  // The handler is named by its member, and only read while the port lives:
  // even naming this->OnCts of a destroyed port would be undefined.
  using Handler = tk::TNotifyEvent TVaCustomComm::*;
  auto fire = [this, &set](uint32_t bit, Handler handler) {
    if (set(bit) && this->*handler) (this->*handler)(this);
  };
  if (set(platform::kEvErr)) CheckErrors();
  if (*alive && !clients_.empty()) NotifyClientEvents(evt_mask);
  fire(platform::kEvRxFlag, &TVaCustomComm::OnRxFlag);
  fire(platform::kEvCts, &TVaCustomComm::OnCts);
  fire(platform::kEvDsr, &TVaCustomComm::OnDsr);
  fire(platform::kEvRing, &TVaCustomComm::OnRing);
  fire(platform::kEvRlsd, &TVaCustomComm::OnRlsd);
  fire(platform::kEvTxEmpty, &TVaCustomComm::OnTxEmpty);
  fire(platform::kEvBreak, &TVaCustomComm::OnBreak);
  fire(platform::kEvPErr, &TVaCustomComm::OnPErr);
  fire(platform::kEvRx80Full, &TVaCustomComm::OnRx80Full);
  fire(platform::kEvEvent1, &TVaCustomComm::OnEvent1);
  fire(platform::kEvEvent2, &TVaCustomComm::OnEvent2);
  // Last: the notifications for bytes that came before the end go first.
  if (set(platform::kEvDeviceGone) && !device_gone_reported_) {
    device_gone_reported_ = true;
    if (OnDeviceGone) OnDeviceGone(this);
  }
}

// ---- clients ----

void TVaCustomComm::AttachClient(TVaCommClient& client) {
  if (client.comm_ == this) return;
  if (client.comm_) client.comm_->DetachClient(client);
  clients_.push_back(&client);
  client.comm_ = this;
}

void TVaCustomComm::DetachClient(TVaCommClient& client) {
  const auto it = std::find(clients_.begin(), clients_.end(), &client);
  if (it == clients_.end()) return;
  clients_.erase(it);
  client.comm_ = nullptr;
}

void TVaCustomComm::NotifyClientEvents(uint32_t evt_mask) {
  // A client may detach itself or another one while it is told, or destroy
  // the port.
  const std::shared_ptr<bool> alive = alive_;
  const std::vector<TVaCommClient*> clients = clients_;
  for (TVaCommClient* c : clients) {
    if (!*alive) return;
    if (c->comm_ == this && c->Enabled()) c->CommEvents(evt_mask);
  }
}

void TVaCustomComm::NotifyClientData(const uint8_t* data, int32_t count) {
  const std::shared_ptr<bool> alive = alive_;
  const std::vector<TVaCommClient*> clients = clients_;
  for (TVaCommClient* c : clients) {
    if (!*alive) return;
    if (c->comm_ == this && c->Enabled()) c->CommData(data, count);
  }
  if (*alive && OnRxBuf) OnRxBuf(this, data, count);
}

// ---- properties ----

void TVaCustomComm::SetBaudrate(TVaBaudrate value) {
  if (value == line_.Baudrate) return;
  line_.Baudrate = value;
  if (value != brUser) line_.UserBaudrate = 0;
  ApplyDCB();
}

void TVaCustomComm::SetUserBaudrate(int32_t value) {
  if (value == line_.UserBaudrate) return;
  line_.UserBaudrate = value;
  line_.Baudrate = brUser;
  ApplyDCB();
}

void TVaCustomComm::SetParity(TVaParity value) {
  if (value == line_.Parity) return;
  line_.Parity = value;
  ApplyDCB();
}

void TVaCustomComm::SetDatabits(TVaDatabits value) {
  if (value == line_.Databits) return;
  line_.Databits = value;
  ApplyDCB();
}

void TVaCustomComm::SetStopbits(TVaStopbits value) {
  if (value == line_.Stopbits) return;
  line_.Stopbits = value;
  ApplyDCB();
}

void TVaCustomComm::SetOptions(TVaCommOptions value) {
  if (value == line_.Options) return;
  line_.Options = value;
  ApplyDCB();
}

void TVaCustomComm::SetBuffers(const TVaBuffers& value) {
  CheckClosed();
  buffers_->Assign(&value);
}

void TVaCustomComm::SetPortNum(TVaPortInt value) {
  CheckClosed();
  port_num_ = value;
}

void TVaCustomComm::SetDeviceName(const std::string& value) {
  CheckClosed();
  device_name_ = value;
}

void TVaCustomComm::SetMonitorEvents(TVaCommEvents value) {
  CheckClosed();
  monitor_events_ = value;
}

void TVaCustomComm::SetDirectWrite(bool value) {
  CheckClosed();
  direct_write_ = value;
}

void TVaCustomComm::SetUpdateDCB(bool value) {
  CheckClosed();
  update_dcb_ = value;
}

void TVaCustomComm::SetEventPriority(tk::TThreadPriority value) {
  if (value == event_priority_) return;
  event_priority_ = value;
  if (event_thread_) event_thread_->SetPriority(value);
}

void TVaCustomComm::SetWritePriority(tk::TThreadPriority value) {
  if (value == write_priority_) return;
  write_priority_ = value;
  if (write_thread_) write_thread_->SetPriority(value);
}

void TVaCustomComm::SetDisplay(TVaDisplay* display) {
  if (display == display_) return;
  if (display_) RemoveFreeNotification(display_);
  display_ = display;
  if (display_) FreeNotification(display_);
}

void TVaCustomComm::Notification(tk::TComponent* component, tk::TOperation operation) {
  if (operation == tk::TOperation::opRemove && component == display_) display_ = nullptr;
  TVaComponent::Notification(component, operation);
}

void TVaCustomComm::Loaded() {
  TVaComponent::Loaded();
  if (!HasState(tk::csDesigning) && auto_open_) Open();
}

void TVaCustomComm::BuffersChanged(TVaPersistent* /*sender*/) {
  CheckClosed();
  ApplyBuffers();
  ApplyDCB();
}

void TVaCustomComm::EventCharsChanged(TVaPersistent* /*sender*/) {
  ApplyDCB();
}

void TVaCustomComm::FlowControlChanged(TVaPersistent* /*sender*/) {
  ApplyDCB();
}

}  // namespace comm
