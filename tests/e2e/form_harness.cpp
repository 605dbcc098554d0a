#include "e2e/form_harness.h"

#include <algorithm>

#include "comm/VaComm.h"
#include "toolkit/exceptions.h"

namespace e2e {

FormHarness::FormHarness(tk::HeadlessEventLoop::Clock clock, std::string image_path)
    : loop_(clock), image_path_(std::move(image_path)) {
  tk::Application::Instance().SetDialogService(this);
  tk::Application::Instance().SetExceptionHandler([this](std::exception_ptr error, tk::TObject*) {
    messages_.push_back(tk::ExceptionMessage(error));
  });
  form_ = std::make_unique<quarnel::TForm1>();
  form_->Memo1.AddObserver([this](tk::TControl& control, tk::Change change) {
    if (change == tk::Change::LineAdded) {
      lines_.push_back(static_cast<tk::TMemo&>(control).Lines().back());
    }
  });
  // Counts what arrives, to tell a quiet line from one still busy.
  form_->VaComm->OnRxFlag = [this](tk::TObject* sender) {
    ++lines_received_;
    form_->VaCommRxFlag(sender);
  };
}

FormHarness::~FormHarness() {
  form_.reset();
  tk::Application::Instance().SetExceptionHandler(nullptr);
  tk::Application::Instance().SetDialogService(nullptr);
}

bool FormHarness::ExecuteOpenDialog(tk::TOpenDialog& dialog) {
  dialog.FileName = image_path_;
  return true;
}

void FormHarness::ConnectWithoutGuidedFlow(const std::string& port) {
  form_->CCommPort.SetText(port);
  tk::RunGuarded([this] { form_->connectClick(&form_->connect); });
  form_->LSCProgramTimer.SetEnabled(false);
}

void FormHarness::ConnectGuided(const std::string& port) {
  form_->CCommPort.SetText(port);
  form_->CCommPortClick(&form_->CCommPort);
  tk::RunGuarded([this] { form_->ButConnectProgram.Click(); });
}

bool FormHarness::RunVirtualUntil(const std::function<bool()>& done,
                                  std::chrono::milliseconds limit,
                                  std::chrono::milliseconds quiet) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    const size_t before = lines_received_;
    if (loop_.RunUntil([&] { return done() || lines_received_ != before; }, quiet.count())) {
      if (done()) return true;
      continue;  // something arrived: give the rest its time too
    }
    if (const auto due = loop_.MsUntilNextTimer()) loop_.AdvanceBy(*due);
  }
  return done();
}

bool FormHarness::RunUntilLine(const std::string& line, std::chrono::milliseconds limit) {
  return loop_.RunUntil(
      [&] {
        return std::find(lines_.begin() + static_cast<long>(mark_), lines_.end(), line) !=
               lines_.end();
      },
      limit.count());
}

void FormHarness::RunFor(std::chrono::milliseconds period) {
  loop_.RunUntil([] { return false; }, period.count());
}

std::vector<std::string> FormHarness::LinesSinceMark() const {
  return {lines_.begin() + static_cast<long>(mark_), lines_.end()};
}

}  // namespace e2e
