#include "tools/password.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "core/workstation.h"
#include "support/fake_platform.h"
#include "text/fixed_width.h"

namespace egresso {
namespace {

class Password : public ::testing::Test {
 protected:
  test::FakePlatform fake;
  Workstation ws{fake.platform()};
  test::FakePasswordPrompt& prompt = fake.password;
  test::TempDir data;

  void SetUp() override {
    ws.paths.DataFolder = data.str();
    ws.paths.PersonalConfigPath = data.str() + "/CFG.DAF";
    ws.notices.lines.assign(2100, "");
    for (int n : {29, 344, 407, 408, 547, 548, 551, 552, 553, 554, 555, 556, 767, 768, 769, 1070, 1343, 1344, 1345,
                  1492, 1559, 1568, 1569, 1656, 2023, 2024})
      ws.notices.lines[n - 1] = "<" + std::to_string(n) + ">";
    ws.paths.ProductTitle = "Egresso";
    ws.mcfg.setStr(mcfg::EmpInitials, 3, "ABC");
    ws.mcfg.setStr(mcfg::EmpInitials + 4, 3, "DEF");
    ws.mcfg.setStr(mcfg::MainUserInitials, 3, "BOS");
  }
  void store(const std::string& plain) { ws.pcfg.setStr(pcfg::UserPassword, 8, EncodePassword(plain)); }
  std::string stored() { return DecodePassword(ws.pcfg.str(pcfg::UserPassword, 8)); }
};

TEST_F(Password, StoredFormIsShiftedAndComesBack) {
  const std::string plain = std::string("AZ09") + static_cast<char>(0xFE) + static_cast<char>(0x01);
  const std::string enc = EncodePassword(plain);
  ASSERT_EQ(enc.size(), plain.size());
  for (std::size_t i = 0; i < plain.size(); ++i) EXPECT_NE(enc[i], plain[i]);
  // The same constant shift for every character, modulo 256.
  const auto shift = static_cast<std::uint8_t>(enc[0] - plain[0]);
  for (std::size_t i = 0; i < plain.size(); ++i)
    EXPECT_EQ(static_cast<std::uint8_t>(enc[i] - plain[i]), shift) << i;
  EXPECT_EQ(DecodePassword(enc), plain);
}

// What the personal file holds cannot be turned back into the password; a
// password still in the old shifted form opens the program once and is
// then stored as the hash.
TEST_F(Password, TheStoredFormIsAHashAndAnOldOneIsReplacedAtItsFirstUse) {
  ws.ThisUser = "ABC";
  const std::string hash = HashPassword("ABC", "SECRET");
  ASSERT_EQ(hash.size(), 8u);
  EXPECT_EQ(HashPassword("ABC", "SECRET"), hash) << "every workstation checks it alike";
  EXPECT_NE(HashPassword("DEF", "SECRET"), hash) << "salted by the initials";
  EXPECT_EQ(hash.find("SECRET"), std::string::npos);
  EXPECT_NE(UpperText(DecodePassword(hash)).substr(0, 1), "S");
  EXPECT_EQ(HashPassword("ABC", ""), "");
  struct Row {
    const char* what;
    std::string stored, typed;
    bool opens;
    std::string after;  // the field afterwards
  };
  const Row rows[] = {
      {"hash, right", hash, "secret", true, hash},
      {"hash, wrong", hash, "SECRETS", false, hash},
      {"hash typed as the old form would read it", hash, DecodePassword(hash), false, hash},
      {"old form, right", EncodePassword("SECRET"), "secret", true, hash},
      {"old form of eight, right", EncodePassword("ABCDEFGH"), "abcdefgh", true, HashPassword("ABC", "ABCDEFGH")},
      {"old form, wrong", EncodePassword("SECRET"), "SECRE", false, EncodePassword("SECRET")},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    ws.pcfg.setStr(pcfg::UserPassword, 8, r.stored);
    ws.QuitRequested = false;
    prompt.script.clear();
    prompt.type(r.typed);
    prompt.cancel();
    CheckStartupPassword(ws);
    EXPECT_EQ(ws.QuitRequested, !r.opens);
    EXPECT_EQ(ws.pcfg.str(pcfg::UserPassword, 8), r.after);
    if (r.after != r.stored) EXPECT_EQ(test::readFile(data / "CFG.DAF").substr(98, 9), std::string("\x08") + r.after);
  }
}

TEST_F(Password, StartupCheckIsCaseInsensitive) {
  store("SECRET");
  prompt.type("secret");
  CheckStartupPassword(ws);
  ASSERT_EQ(prompt.runs, 1);
  EXPECT_EQ(prompt.shown[0].Label, "<548>");
  EXPECT_EQ(prompt.shown[0].Caption, "Egresso <547>");
  EXPECT_TRUE(prompt.shown[0].Masked);
  EXPECT_EQ(prompt.shown[0].MaxLength, 8);
  EXPECT_FALSE(ws.QuitRequested);
  EXPECT_TRUE(ws.PasswordDialogClosed);
  EXPECT_EQ(fake.dialogs.beeps, 0);
}

TEST_F(Password, WrongOrEmptyPasswordBeepsAndCancelEndsTheProgram) {
  store("SECRET");
  prompt.type("SECRE");
  prompt.type("");
  prompt.type("SECRETS!");
  prompt.cancel();
  CheckStartupPassword(ws);
  EXPECT_EQ(fake.dialogs.beeps, 3);
  EXPECT_TRUE(ws.QuitRequested);
  EXPECT_TRUE(ws.PasswordDialogClosed);
  EXPECT_EQ(stored(), "SECRET");
}

TEST_F(Password, NoWindowCountsAsCancel) {
  store("X");
  Workstation bare{fake.platform()};
  bare.platform.passwordPrompt = nullptr;
  bare.pcfg = ws.pcfg;
  CheckStartupPassword(bare);
  EXPECT_TRUE(bare.QuitRequested);
}

TEST_F(Password, DialogClosedFlagIsClearWhileTheCheckIsShown) {
  store("A");
  class Watch : public PasswordPrompt {
   public:
    Workstation* ws = nullptr;
    bool closedWhileShown = true;
    void run(PasswordDialog& d) override {
      closedWhileShown = ws->PasswordDialogClosed;
      d.view.Text = "A";
      d.OKBtnClick(false);
    }
  } watch;
  watch.ws = &ws;
  ws.platform.passwordPrompt = &watch;
  CheckStartupPassword(ws);
  EXPECT_FALSE(watch.closedWhileShown);
  EXPECT_TRUE(ws.PasswordDialogClosed);
  EXPECT_FALSE(ws.QuitRequested);
}

TEST_F(Password, ChangingThePassword) {
  store("old");
  prompt.type("wrong");
  prompt.type("OLD");
  prompt.type("newpass1234");  // the edit takes 8 characters
  prompt.type("");             // OK on the confirmation
  ChangePassword(ws);
  ASSERT_EQ(prompt.runs, 1);
  EXPECT_EQ(prompt.shown[0].Label, "<552>");
  EXPECT_EQ(fake.dialogs.beeps, 1);
  ASSERT_EQ(prompt.labels.size(), 4u);
  EXPECT_EQ(prompt.labels[1], "<551>");
  EXPECT_EQ(prompt.labels[2], "<553> \"NEWPASS1\"");
  EXPECT_EQ(ws.pcfg.str(pcfg::UserPassword, 8), HashPassword(ws.ThisUser, "NEWPASS1"));
  EXPECT_EQ(test::readFile(data / "CFG.DAF").substr(98, 9), std::string("\x08") + HashPassword(ws.ThisUser, "NEWPASS1"));
  EXPECT_FALSE(ws.password.ChangeMode);
  EXPECT_FALSE(ws.QuitRequested);

  // Typed later in lower case, it still opens the program.
  prompt.type("newpass1");
  CheckStartupPassword(ws);
  EXPECT_FALSE(ws.QuitRequested);
}

TEST_F(Password, ConfirmationHidesCancelAndTheEdit) {
  store("OLD");
  class Look : public PasswordPrompt {
   public:
    PasswordView after;
    void run(PasswordDialog& d) override {
      d.view.Text = "OLD";
      d.OKBtnClick(false);
      EXPECT_FALSE(d.view.Masked);  // the new password is typed in the open
      d.view.Text = "NEW";
      d.OKBtnClick(false);
      after = d.view;
      d.OKBtnClick(false);
    }
  } look;
  ws.platform.passwordPrompt = &look;
  ChangePassword(ws);
  EXPECT_FALSE(look.after.CancelVisible);
  EXPECT_FALSE(look.after.EditVisible);
  EXPECT_TRUE(look.after.FocusOnOk);
  EXPECT_FALSE(look.after.Closed);
}

TEST_F(Password, EmptyNewPasswordTurnsTheRequestOffOnlyWhenConfirmed) {
  ws.pcfg.setU8(pcfg::RequestPassword, 1);
  fake.dialogs.answers = {2, 1};
  prompt.type("");
  prompt.type("");
  CheckStartupPassword(ws);
  ASSERT_EQ(prompt.runs, 1);
  EXPECT_EQ(prompt.shown[0].Label, "<551>");
  EXPECT_FALSE(prompt.shown[0].Masked);
  ASSERT_EQ(fake.dialogs.dialogs.size(), 2u);
  EXPECT_EQ(fake.dialogs.dialogs[0].message, "<1656>");
  EXPECT_EQ(fake.dialogs.dialogs[0].button1, "<407>");
  EXPECT_EQ(fake.dialogs.dialogs[0].button2, "<408>");
  EXPECT_FALSE(ws.pcfg.flag(pcfg::RequestPassword));
  EXPECT_FALSE(ws.QuitRequested);
  EXPECT_EQ(ws.pcfg.str(pcfg::UserPassword, 8), "");
  // The choice is kept: the next start asks for nothing.
  const std::string file = test::readFile(data / "CFG.DAF");
  ASSERT_EQ(file.size(), 1024u);
  EXPECT_EQ(file[136], 0);
  EXPECT_EQ(file[98], 0);
}

TEST_F(Password, EmptyNewPasswordRefusedKeepsTheOldOne) {
  store("OLD");
  fake.dialogs.answers = {2};
  prompt.type("OLD");
  prompt.type("");
  prompt.cancel();
  ChangePassword(ws);
  // Kept, in the stored form its first use gave it.
  EXPECT_EQ(ws.pcfg.str(pcfg::UserPassword, 8), HashPassword(ws.ThisUser, "OLD"));
  EXPECT_FALSE(ws.QuitRequested);  // Cancel while changing never ends the program
}

TEST_F(Password, IdentificationAcceptsLowerCaseInitialsFromTheTable) {
  prompt.type("dEf");
  IdentifyUser(ws);
  ASSERT_EQ(prompt.runs, 1);
  EXPECT_EQ(prompt.shown[0].MaxLength, 3);
  EXPECT_FALSE(prompt.shown[0].Masked);
  EXPECT_EQ(prompt.shown[0].Caption, "<554>");
  EXPECT_EQ(prompt.shown[0].Label, "<555>");
  EXPECT_EQ(ws.ThisUser, "DEF");
  EXPECT_FALSE(ws.QuitRequested);
  EXPECT_FALSE(ws.password.IdentifyMode);
}

TEST_F(Password, IdentificationRefusesStrangersButKnowsTheMainUser) {
  prompt.type("xyz");
  prompt.type("");
  prompt.type("bos");
  IdentifyUser(ws);
  ASSERT_EQ(fake.dialogs.dialogs.size(), 1u);
  EXPECT_EQ(fake.dialogs.dialogs[0].message, "<556><2023>BOS<2024>");
  EXPECT_EQ(fake.dialogs.beeps, 1);
  EXPECT_EQ(ws.ThisUser, "BOS");
}

TEST_F(Password, IdentificationWithoutMainUserMakesTheFirstUserMain) {
  ws.mcfg.setStr(mcfg::MainUserInitials, 3, "");
  prompt.type("abc");
  IdentifyUser(ws);
  EXPECT_EQ(ws.ThisUser, "ABC");
  EXPECT_EQ(ws.mcfg.mainUserInitials(), "ABC");
}

TEST_F(Password, IdentificationCancelledEndsTheProgram) {
  prompt.cancel();
  IdentifyUser(ws);
  EXPECT_TRUE(ws.QuitRequested);
  EXPECT_EQ(ws.ThisUser, "");
}

TEST_F(Password, FindTextWithAmpersandSetsTheOption) {
  ws.password.SearchText = "previous";
  prompt.type("&abc");
  PromptForText(ws, 4);
  EXPECT_EQ(prompt.shown[0].Label, "<1492>");
  EXPECT_EQ(prompt.shown[0].Caption, "<769>");
  EXPECT_EQ(prompt.shown[0].Text, "previous");
  EXPECT_EQ(prompt.shown[0].MaxLength, 15);
  EXPECT_EQ(ws.password.SearchText, "ABC");
  EXPECT_TRUE(ws.password.SearchOption);
  EXPECT_EQ(ws.password.PromptKind, 0);

  prompt.type("a text longer than fifteen");
  PromptForText(ws, 2);
  EXPECT_EQ(prompt.shown[1].Label, "<1070>");
  EXPECT_EQ(ws.password.SearchText, "A TEXT LONGER T");
  EXPECT_FALSE(ws.password.SearchOption);
}

TEST_F(Password, ChoiceButtonsOfPromptKindFive) {
  ws.password.SearchOption = true;
  prompt.type("abc", true);
  PromptForText(ws, 5);
  const PasswordView& v = prompt.shown[0];
  EXPECT_TRUE(v.ChoicesVisible);
  EXPECT_TRUE(v.Choice2Selected);
  EXPECT_TRUE(v.LabelRightAligned);
  EXPECT_EQ(v.Label, "<1559>");
  EXPECT_EQ(v.Choice1Caption, "<1568>");
  EXPECT_EQ(v.Choice2Caption, "<1569>");
  EXPECT_EQ(ws.password.SearchText, "ABC");
  EXPECT_TRUE(ws.password.SearchOption);

  prompt.type("", true);  // the second choice alone still sets the option
  PromptForText(ws, 5);
  EXPECT_EQ(ws.password.SearchText, "");
  EXPECT_TRUE(ws.password.SearchOption);

  prompt.type("abc", false);
  PromptForText(ws, 5);
  EXPECT_FALSE(ws.password.SearchOption);
}

TEST_F(Password, PromptKindThreeOnlyInforms) {
  ws.password.SearchText = "KEEP";
  prompt.type("other");
  PromptForText(ws, 3);
  ASSERT_EQ(fake.dialogs.dialogs.size(), 1u);
  EXPECT_EQ(fake.dialogs.dialogs[0].message, "<1343><1344><1345>");
  EXPECT_EQ(ws.password.SearchText, "KEEP");
}

TEST_F(Password, PlacedInTheHomeAreaOrThePanel) {
  for (int i = 0; i < 4; ++i) ws.pcfg.setI16(pcfg::HomePlacement + 2 * i, std::array<std::int16_t, 4>{10, 20, 641, 480}[i]);
  PasswordDialog d(ws);
  EXPECT_EQ(d.Position(300, 131).left, 10 + 170);
  EXPECT_EQ(d.Position(300, 131).top, 20 + 174);
  EXPECT_EQ(d.Position(2000, 2000).left, 0);
  ws.options.CompactMode = true;
  for (int i = 0; i < 4; ++i) ws.pcfg.setI16(pcfg::PanelArea + 2 * i, std::array<std::int16_t, 4>{300, 200, 40, 50}[i]);
  EXPECT_EQ(d.Position(300, 131).left, 50);
  EXPECT_EQ(d.Position(300, 131).top, 40);
}

}  // namespace
}  // namespace egresso
