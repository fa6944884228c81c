#include "messages/beep_alert.h"

#include <gtest/gtest.h>

#include <string>

namespace egresso {
namespace {

const AlertArea kScreen{0, 0, 1024, 768};

TEST(FlashGeometry, AOneLineTextTakesTheCaptionsWidth) {
  FlashGeometry g = FlashGeometryFor(std::string(30, 'x'), "Caption 10", kScreen);
  EXPECT_EQ(g.width, 260);
  EXPECT_EQ(g.height, 66);
  EXPECT_EQ(g.left, 320 - 130);
  EXPECT_EQ(g.top, 221 - 33);
}

TEST(FlashGeometry, TheFirstLineSetsTheWidthWhenItIsWider) {
  std::string text = std::string(24, 'x') + "\r\n" + std::string(10, 'y');
  FlashGeometry g = FlashGeometryFor(text, "Wait", kScreen);
  EXPECT_EQ(g.width, 250);  // the carriage return stands at position 25
  EXPECT_EQ(g.height, 22 * (350 / 250 + 1) + 22);
}

TEST(FlashGeometry, NeverWiderThan640) {
  FlashGeometry g = FlashGeometryFor(std::string(200, 'x'), std::string(70, 'c'), kScreen);
  EXPECT_EQ(g.width, 640);
  EXPECT_EQ(g.height, 22 * (1990 / 640 + 1) + 22);
  g = FlashGeometryFor(std::string(100, 'x') + "\r", "c", kScreen);
  EXPECT_EQ(g.width, 640);
}

TEST(FlashGeometry, PlacedRelativeToTheReferenceArea) {
  FlashGeometry g = FlashGeometryFor("", "Caption 10", AlertArea{100, 50, 800, 600});
  EXPECT_EQ(g.width, 260);
  EXPECT_EQ(g.height, 44);
  EXPECT_EQ(g.left, 100 + 320 - 130);
  EXPECT_EQ(g.top, 50 + 221 - 22);
}

TEST(BeepNote, ASecondFlashWhileShowingChangesNothing) {
  BeepState s;
  ASSERT_TRUE(Flash(s, "first", 1000));
  BeepFormShow(s);
  EXPECT_FALSE(Flash(s, "second", 1));
  EXPECT_EQ(s.Interval, 1000);
  EXPECT_TRUE(BeepTimerTimer(s));
  EXPECT_FALSE(s.BeepShowing);
  EXPECT_TRUE(Flash(s, "third", 500));
}

TEST(BeepNote, IntervalOneStaysUntilClosedOtherwise) {
  BeepState s;
  ASSERT_TRUE(Flash(s, "stays", 1));
  BeepFormShow(s);
  EXPECT_FALSE(BeepTimerTimer(s));
  EXPECT_TRUE(s.BeepShowing);
  BeepFormClosed(s);
  EXPECT_TRUE(Flash(s, "again", 1000)) << "a note closed by other means can be shown again";
}

TEST(BeepNote, EscAndCtrlFAnswerOtherKeysDoNot) {
  BeepState s;
  EXPECT_FALSE(BeepFormKeyDown(s, kBeepVirtualF, false));
  EXPECT_FALSE(BeepFormKeyDown(s, 13, true));
  EXPECT_EQ(TakeBeepKeyAnswer(s), 0);
  EXPECT_TRUE(BeepFormKeyDown(s, kBeepKeyEsc, false));
  EXPECT_EQ(TakeBeepKeyAnswer(s), 27);
  EXPECT_EQ(TakeBeepKeyAnswer(s), 0);
  EXPECT_TRUE(BeepFormKeyDown(s, kBeepVirtualF, true));
  EXPECT_EQ(TakeBeepKeyAnswer(s), 6);
}

}  // namespace
}  // namespace egresso
