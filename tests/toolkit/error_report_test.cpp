// The general error report.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/application.h"
#include "toolkit/exceptions.h"

namespace tk {
namespace {

class RecordingDialogs : public DialogService {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  bool ExecuteOpenDialog(TOpenDialog&) override { return false; }
  std::vector<std::string> messages;
};

TEST(ErrorReport, ShowsTheMessageAndTheProgramGoesOn) {
  RecordingDialogs dialogs;
  Application::Instance().SetDialogService(&dialogs);
  bool after = false;
  RunGuarded([] { throw Exception("Can't open specified device"); });
  RunGuarded([] { throw 42; });
  RunGuarded([] { throw EAbort(); });  // quiet
  RunGuarded([&] { after = true; });
  Application::Instance().SetDialogService(nullptr);
  EXPECT_TRUE(after);
  EXPECT_EQ(dialogs.messages,
            (std::vector<std::string>{"Can't open specified device", "Unknown error"}));
}

TEST(ErrorReport, ClassNamesOfOwnAndForeignExceptions) {
  EXPECT_EQ(ExceptionClassName(EConvertError("x")), "EConvertError");
  EXPECT_EQ(ExceptionClassName(Exception("x")), "Exception");
  EXPECT_EQ(ExceptionClassName(std::out_of_range("x")), "std::out_of_range");
}

}  // namespace
}  // namespace tk
