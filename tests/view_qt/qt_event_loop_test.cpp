// The Qt loop against the loop contract, on the offscreen platform: its
// modal box is a QMessageBox.
#include "view/qt/qt_event_loop.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QTimer>

#include "loop_contract/loop_driver.h"
#include "view_qt/qt_test_app.h"

namespace {

class QtDriver : public loop_contract::LoopDriver {
 public:
  std::unique_ptr<tk::MainThreadLoop> Make() override {
    return std::make_unique<tk::QtEventLoop>();
  }

  bool PumpUntil(tk::MainThreadLoop&, const std::function<bool()>& done,
                 int64_t real_timeout_ms) override {
    return qt_test::PumpUntil(done, static_cast<int>(real_timeout_ms));
  }

  bool RunModal(tk::MainThreadLoop&, const std::function<bool()>& done,
                int64_t real_timeout_ms) override {
    QMessageBox box(QMessageBox::Information, "Quarnel", "waiting", QMessageBox::Ok);
    // Looks at `done` from inside the box's own loop, and closes the box.
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &box, [&] {
      if (done()) box.done(QMessageBox::Ok);
    });
    check.start(2);
    QTimer::singleShot(static_cast<int>(real_timeout_ms), &box, [&] { box.done(QMessageBox::Ok); });
    box.exec();
    return done();
  }

  void HandleQueued() override { QCoreApplication::processEvents(); }
};

INSTANTIATE_TEST_SUITE_P(Qt, LoopContract,
                         ::testing::Values(loop_contract::DriverParam{
                             "Qt", [] { return std::make_unique<QtDriver>(); }}),
                         loop_contract::DriverName);

}  // namespace
