// The caption-fitting rule and the room of a label, which both views follow.
#include "view/core/caption_fit.h"

#include <gtest/gtest.h>

namespace {

// Half the height per character, as a narrow face would have it.
int HalfHeightPerCharacter(const tk::TFont& font, const std::string& text) {
  return static_cast<int>(text.size()) * font.height / 2;
}

TEST(CaptionFit, TakesTheLargestSizeThatFitsAndNeverLessThanThreeQuarters) {
  const tk::TFont font{"MS Sans Serif", 16, true};
  // 10 characters: 80 pixels at 16, 70 at 14, 60 at 12 (three quarters).
  const std::vector<std::string> caption{"0123456789"};
  EXPECT_EQ(tk::FittingFont(font, caption, 80, HalfHeightPerCharacter), font);
  EXPECT_EQ(tk::FittingFont(font, caption, 79, HalfHeightPerCharacter).height, 15);
  EXPECT_EQ(tk::FittingFont(font, caption, 70, HalfHeightPerCharacter).height, 14);
  tk::TFont smallest = tk::FittingFont(font, caption, 10, HalfHeightPerCharacter);
  EXPECT_EQ(smallest.height, 12);
  // Only the size changes: the face, weight and colour stay.
  smallest.height = font.height;
  EXPECT_EQ(smallest, font);

  // Three quarters rounded up: 13 goes no lower than 10 (9.75 is below it).
  EXPECT_EQ(tk::SmallestFittingHeight(13), 10);
  EXPECT_EQ(
      tk::FittingFont({"MS Sans Serif", 13, false}, caption, 1, HalfHeightPerCharacter).height, 10);
  // A font already small is not made smaller than legible.
  EXPECT_EQ(tk::SmallestFittingHeight(9), 8);
  EXPECT_EQ(tk::SmallestFittingHeight(6), 6);
}

TEST(CaptionFit, TheWidestOfSeveralTextsDecides) {
  const tk::TFont font{"MS Sans Serif", 13, false};
  // The speed list: its longest entry must fit, not only the one shown.
  const std::vector<std::string> speeds{"19200", "115200", "9600"};
  const int room = 6 * 12 / 2;  // "115200" at 12
  EXPECT_EQ(tk::FittingFont(font, speeds, room, HalfHeightPerCharacter).height, 12);
  EXPECT_EQ(tk::FittingFont(font, {}, 0, HalfHeightPerCharacter), font);
}

struct Row : tk::TForm {
  tk::TPanel panel{this};
  tk::TLabel label{this};
  tk::TControl beside{this};
  tk::TControl below{this};
  tk::TControl left_of_it{this};
  Row() {
    panel.SetBounds(0, 0, 300, 100);
    panel.SetParent(this);
    label.SetBounds(40, 10, 50, 13);
    label.SetParent(&panel);
    for (tk::TControl* c : {&beside, &below, &left_of_it}) c->SetParent(&panel);
    beside.SetBounds(120, 5, 60, 21);  // overlaps the label's rows
    below.SetBounds(95, 30, 60, 21);   // nearer, but on rows of its own
    left_of_it.SetBounds(0, 5, 30, 21);
  }
};

TEST(LabelRoom, ReachesTheNearestShownControlBesideItOrItsParentsEdge) {
  Row row;
  EXPECT_EQ(tk::LabelRoom(row.label), 120 - tk::kLabelGap - 40);
  row.beside.Hide();  // nothing beside it now: up to the panel's edge
  EXPECT_EQ(tk::LabelRoom(row.label), 300 - tk::kLabelGap - 40);
  row.beside.Show();
  row.beside.SetLeft(60);  // closer than the label's own width: the width stays
  EXPECT_EQ(tk::LabelRoom(row.label), 50);

  tk::TLabel alone;  // without a parent it has all the room it needs
  alone.SetBounds(0, 0, 10, 13);
  EXPECT_EQ(tk::LabelRoom(alone), 0);
}

}  // namespace
