#include "view/qt/qt_dialog_service.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "view_qt/qt_test_app.h"
#include "toolkit/controls.h"

namespace {

// Runs `act` on the modal widget of type W once it is up (or fails after a while).
template <class W>
void WhenModal(std::function<void(W&)> act) {
  auto tries = std::make_shared<int>(0);
  auto poll = std::make_shared<std::function<void()>>();
  *poll = [act, tries, poll] {
    if (auto* widget = qobject_cast<W*>(QApplication::activeModalWidget())) {
      act(*widget);
      *poll = nullptr;  // break the cycle
    } else if (++*tries < 200) {
      QTimer::singleShot(10, *poll);
    } else {
      ADD_FAILURE() << "no modal dialog came up";
      if (QWidget* any = QApplication::activeModalWidget()) any->close();
      *poll = nullptr;
    }
  };
  QTimer::singleShot(0, *poll);
}

TEST(QtNameFilters, PairsOfTextAndPatternBecomeQtFilters) {
  EXPECT_EQ(tk::QtNameFilters("*.cry|*.cry"), QStringList{"*.cry (*.cry)"});
  EXPECT_EQ(tk::QtNameFilters("Images|*.cry;*.hex|All files|*.*"),
            (QStringList{"Images (*.cry *.hex)", "All files (*.*)"}));
  EXPECT_EQ(tk::QtNameFilters("*.cry"), QStringList{"*.cry (*.cry)"});
  EXPECT_TRUE(tk::QtNameFilters("").isEmpty());
}

class QtDialogServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    QFile image(dir_.filePath("image.cry"));
    ASSERT_TRUE(image.open(QIODevice::WriteOnly));
    image.write("0123456789");
    dialog_.Filter = "*.cry|*.cry";
    dialog_.DefaultExt = "cry";
    dialog_.OptionsEx = tk::ofExNoPlacesBar;
    dialog_.FileName = QFile::encodeName(dir_.filePath("image.cry")).toStdString();
  }

  QTemporaryDir dir_;
  tk::TOpenDialog dialog_;
  tk::QtDialogService service_;
};

TEST_F(QtDialogServiceTest, OpenDialogAsksForOneExistingCryFileWithoutPlaces) {
  bool checked = false;
  dialog_.FileName.clear();
  WhenModal<QFileDialog>([&](QFileDialog& files) {
    EXPECT_EQ(files.nameFilters(), QStringList{"*.cry (*.cry)"});
    EXPECT_EQ(files.defaultSuffix(), QString("cry"));
    EXPECT_EQ(files.fileMode(), QFileDialog::ExistingFile);
    EXPECT_TRUE(files.testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_TRUE(files.sidebarUrls().isEmpty());
    auto* sidebar = files.findChild<QWidget*>("sidebar");
    EXPECT_TRUE(sidebar == nullptr || sidebar->isHidden());
    checked = true;
    files.setDirectory(dir_.path());
    files.selectFile("image");              // the default extension completes the name
    static_cast<QDialog&>(files).accept();  // as the Open button does
  });
  ASSERT_TRUE(service_.ExecuteOpenDialog(dialog_));
  EXPECT_TRUE(checked);
  EXPECT_EQ(dialog_.FileName,
            QFile::encodeName(QDir(dir_.path()).absoluteFilePath("image.cry")).toStdString());
}

TEST_F(QtDialogServiceTest, CancelledDialogKeepsTheName) {
  const std::string before = dialog_.FileName;
  WhenModal<QFileDialog>([&](QFileDialog& files) {
    // It starts where the last choice was.
    EXPECT_EQ(QDir(files.directory()).canonicalPath(), QDir(dir_.path()).canonicalPath());
    files.reject();
  });
  EXPECT_FALSE(service_.ExecuteOpenDialog(dialog_));
  EXPECT_EQ(dialog_.FileName, before);
}

TEST_F(QtDialogServiceTest, MessageBoxCarriesTheApplicationTitle) {
  tk::Application::Instance().SetTitle("Quarnel  V1.3");
  bool seen = false;
  WhenModal<QMessageBox>([&](QMessageBox& box) {
    EXPECT_EQ(box.windowTitle(), QString("Quarnel  V1.3"));
    EXPECT_EQ(box.text(), QString("Port <COM9> missing"));
    EXPECT_EQ(box.textFormat(), Qt::PlainText);
    EXPECT_EQ(box.standardButtons(), QMessageBox::Ok);
    seen = true;
    box.button(QMessageBox::Ok)->click();
  });
  service_.ShowMessage("Port <COM9> missing");
  EXPECT_TRUE(seen);
}

}  // namespace
