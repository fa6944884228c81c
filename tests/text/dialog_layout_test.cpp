#include "text/dialog_layout.h"

#include <gtest/gtest.h>

namespace egresso {
namespace {

// Every character 6 pixels wide; every started 50 pixels of text one 16-pixel line.
class GridMetrics : public DialogMetrics {
 public:
  DialogFont lastFont;
  int textWidth(const std::string& text, const DialogFont& font) override {
    lastFont = font;
    return 6 * static_cast<int>(text.size());
  }
  int wrappedHeight(const std::string& text, int width, const DialogFont& font) override {
    lastFont = font;
    int perLine = width / 6;
    int lines = text.empty() ? 1 : (static_cast<int>(text.size()) + perLine - 1) / perLine;
    return 16 * lines;
  }
};

DialogLayoutInput threeButtons() {
  DialogLayoutInput in;
  in.message = "Save the changes?";
  in.captions[0] = "Yes";
  in.captions[1] = "No";
  in.captions[2] = "Cancel";
  in.defaultButton = 2;
  in.nonClient = 30;
  in.workArea = {0, 0, 1024, 768};
  return in;
}

TEST(DialogLayout, RoundingGoesToTheEvenNeighbour) {
  EXPECT_EQ(RoundEven(2.5), 2);
  EXPECT_EQ(RoundEven(3.5), 4);
  EXPECT_EQ(RoundEven(-2.5), -2);
  EXPECT_EQ(RoundEven(2.4), 2);
  EXPECT_EQ(RoundEven(2.6), 3);
}

TEST(DialogLayout, ThreeButtonsStandOnTwoLines) {
  GridMetrics m;
  DialogLayout d = ComputeDialogLayout(threeButtons(), m);
  EXPECT_EQ(d.width, 400);
  // Label 16 high: 16 + 1.8 * 25 (45) + margin 55, then 15 more outside compact mode.
  EXPECT_EQ(d.height, 16 + 45 + 55 + 15);
  EXPECT_EQ(d.label.top, 6);
  EXPECT_EQ(d.label.width, 396);
  // Button width: min(75, 0.1875 * 400) = 75; centres at 80, 320, 200.
  EXPECT_EQ(d.buttons[0].left, 40);
  EXPECT_EQ(d.buttons[1].left, 280);
  EXPECT_EQ(d.buttons[2].left, 160);
  EXPECT_EQ(d.buttons[0].top, 1 + 16 + 5 + 10);
  EXPECT_EQ(d.buttons[1].top, d.buttons[0].top);
  EXPECT_EQ(d.buttons[2].top, (16 + 45 + 55) - 55 - 25 - 2 + 10);
  EXPECT_TRUE(d.visible[0] && d.visible[1] && d.visible[2]);
  EXPECT_EQ(d.focusButton, 2);
  EXPECT_FALSE(d.notice);
  EXPECT_EQ(d.font.pointSize, 0);
}

TEST(DialogLayout, PlacedOnTheReferenceArea) {
  GridMetrics m;
  DialogLayoutInput in = threeButtons();
  in.workArea = {10, 20, 1024, 768};
  DialogLayout d = ComputeDialogLayout(in, m);
  EXPECT_EQ(d.left, 10 + RoundEven((1024 - 400 - 4) * 0.5 + 2));
  EXPECT_EQ(d.top, 20 + RoundEven((768 - 187 - 55) * 0.5 + 55) - 7);
  in.referenceWidth = 636;
  in.referenceHeight = 480;
  d = ComputeDialogLayout(in, m);
  EXPECT_EQ(d.left, 10 + 118);
  EXPECT_EQ(d.top, 20 + RoundEven((480 - 187 - 55) * 0.5 + 55) - 7);
}

TEST(DialogLayout, OnlyButton1StandsOnTheBottomLine) {
  GridMetrics m;
  DialogLayoutInput in = threeButtons();
  in.captions[1].clear();
  in.captions[2].clear();
  in.defaultButton = 1;
  DialogLayout d = ComputeDialogLayout(in, m);
  EXPECT_TRUE(d.visible[0]);
  EXPECT_FALSE(d.visible[1]);
  EXPECT_FALSE(d.visible[2]);
  EXPECT_EQ(d.buttons[0].top, d.buttons[2].top);
  EXPECT_GT(d.buttons[0].top, d.label.bottom() + 5);
  EXPECT_EQ(d.focusButton, 1);
}

TEST(DialogLayout, Button2FollowsButton1WhenButton3IsHidden) {
  GridMetrics m;
  DialogLayoutInput in = threeButtons();
  in.captions[2].clear();
  DialogLayout d = ComputeDialogLayout(in, m);
  EXPECT_EQ(d.buttons[0].top, d.buttons[2].top);
  EXPECT_EQ(d.buttons[1].top, d.buttons[0].top);
}

TEST(DialogLayout, HiddenDefaultButtonGivesFocusToAVisibleOne) {
  GridMetrics m;
  DialogLayoutInput in = threeButtons();
  in.captions[0].clear();
  in.defaultButton = 1;
  EXPECT_EQ(ComputeDialogLayout(in, m).focusButton, 2);
  in.captions[1].clear();
  in.captions[2].clear();
  EXPECT_EQ(ComputeDialogLayout(in, m).focusButton, 0);
}

TEST(DialogLayout, WideCaptionsWidenTheButtons) {
  GridMetrics m;
  DialogLayoutInput in = threeButtons();
  in.captions[2] = "Retry later!";  // 72 pixels
  EXPECT_EQ(ComputeDialogLayout(in, m).buttons[0].width, 76);
}

TEST(DialogLayout, CompactModeLimitsTheFormAndShrinksTheFont) {
  GridMetrics m;
  DialogLayoutInput in = threeButtons();
  in.compact = true;
  in.panelWidth = 208;
  in.panelHeight = 150;
  DialogLayout d = ComputeDialogLayout(in, m);
  EXPECT_EQ(d.width, 200);
  EXPECT_EQ(d.font.pointSize, 7);
  EXPECT_EQ(d.buttons[0].height, 20);
  // No extra spacing in compact mode.
  EXPECT_EQ(d.label.top, 1);
  EXPECT_EQ(d.height, d.label.height + 36 + 55);
  // Height limited to the panel less the margin before it is recomputed.
  EXPECT_EQ(d.top, RoundEven((768 - 95 - 55) * 0.5 + 55) - 7);

  in.panelWidth = 258;
  EXPECT_EQ(ComputeDialogLayout(in, m).font.pointSize, 8);
  in.panelWidth = 268;
  d = ComputeDialogLayout(in, m);
  EXPECT_EQ(d.font.pointSize, 0);
  EXPECT_EQ(d.buttons[0].height, 25);
}

TEST(DialogLayout, NoticeIsSizedToItsTextAndCaptionedWithIt) {
  GridMetrics m;
  DialogLayoutInput in;
  in.message = "*Saving";
  in.workArea = {100, 0, 1024, 768};
  DialogLayout d = ComputeDialogLayout(in, m);
  EXPECT_TRUE(d.notice);
  EXPECT_EQ(d.noticeCaption, "Saving");
  EXPECT_EQ(d.labelText, "Saving");
  EXPECT_TRUE(d.font.system);
  EXPECT_EQ(d.width, 150);  // 36 + 30 is less than the minimum
  EXPECT_EQ(d.left, 100 + RoundEven((1024 - 150 - 4) * 0.5 + 2));
  EXPECT_EQ(d.focusButton, 0);

  in.message = "*" + std::string(200, 'w');
  in.workArea = {100, 0, 800, 600};
  d = ComputeDialogLayout(in, m);
  EXPECT_EQ(d.width, 1230);
  EXPECT_EQ(d.left, 100);  // never left of the work area
  EXPECT_EQ(d.noticeCaption.size(), 99u);
}

}  // namespace
}  // namespace egresso
