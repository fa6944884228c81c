#include "tools/editor.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "core/workstation.h"
#include "storage/record_io.h"
#include "support/fake_platform.h"

namespace egresso {
namespace {

// Workstations of ANN, BOB (the main user), CAT and DAN on one data folder.
class MemoEditorTest : public ::testing::Test {
 protected:
  test::TempDir data;
  test::FakePlatform fake;
  std::unique_ptr<Workstation> ann = station("ANN");

  std::unique_ptr<Workstation> station(const std::string& user, test::FakePlatform* p = nullptr) {
    auto ws = std::make_unique<Workstation>((p ? p : &fake)->platform());
    ws->ThisUser = user;
    ws->paths.DataFolder = data.str();
    ws->paths.BulletinFolder = data.str() + "/BULLETIN";
    ws->paths.PersonalConfigPath = data.str() + "/CFG" + user + ".DAF";
    createFolder(ws->paths.BulletinFolder, PosixFileOps());
    const char* people[4][2] = {{"ANN", "Ann Archer"}, {"BOB", "Bob Baker"}, {"CAT", "Cat Cole"}, {"DAN", "Dan Dunn"}};
    for (int i = 0; i < 4; ++i) {
      ws->mcfg.setEmpInitials(i + 1, people[i][0]);
      ws->mcfg.setEmpName(i + 1, people[i][1]);
    }
    ws->mcfg.setStr(mcfg::MainUserInitials, 3, "BOB");
    ws->notices.lines.assign(2000, "");
    ws->notices.lines[344 - 1] = "Cancel";
    ws->notices.lines[1797 - 1] = "Personal memo";
    ws->notices.lines[1798 - 1] = " (read only: ";
    ws->notices.lines[1976 - 1] = " was not found.";
    return ws;
  }
  static void Open(Workstation& ws, MemoEditor& ed, int slot) {
    ASSERT_TRUE(RequestMemo(ws, slot));
    ed.FormShow({100, 100, 600, 400});
  }
  void Select(MemoEditor& ed, int start, int length) {
    ed.Area.SelStart = start;
    ed.Area.SelLength = length;
  }
};

TEST_F(MemoEditorTest, OwnAndMainUserEditAnotherEmployeesMemoIsOnlyShown) {
  test::writeFile(data / "BULLETIN/CAT.DAN", "Away Fridays\r\nAsk Bob\r\n");
  MemoEditor ed(*ann);
  Open(*ann, ed, 3);
  EXPECT_EQ(ann->accessories.Editor.Mode, 2);
  EXPECT_EQ(ed.Area.Text, "Away Fridays\nAsk Bob");
  EXPECT_TRUE(ed.view.ReadOnly);
  EXPECT_FALSE(ed.view.CancelVisible);
  EXPECT_FALSE(ed.view.SaveEnabled || ed.view.CutEnabled || ed.view.PasteEnabled);
  EXPECT_EQ(ed.view.OkCaption, "Cancel");
  EXPECT_EQ(ed.view.Caption, "CAT (read only: Cat Cole Personal memo)");
  fake.clipboard.content = "junk";
  EXPECT_TRUE(ed.EditKeyDown(EditorKey::ShiftIns));
  EXPECT_EQ(ed.Area.Text, "Away Fridays\nAsk Bob");
  ed.OKbtnClick();
  EXPECT_TRUE(ed.view.Closed);
  EXPECT_EQ(test::readFile(data / "BULLETIN/CAT.DAN"), "Away Fridays\r\nAsk Bob\r\n");

  Open(*ann, ed, 1);
  EXPECT_EQ(ann->accessories.Editor.Mode, 1);
  EXPECT_TRUE(ed.NewFile);
  EXPECT_EQ(ed.view.Caption, "Ann Archer Personal memo");
  EXPECT_EQ(ed.view.Bounds.left, 135);
  auto bob = station("BOB");
  ASSERT_TRUE(RequestMemo(*bob, 3));
  EXPECT_EQ(bob->accessories.Editor.Mode, 1);
  EXPECT_FALSE(RequestMemo(*bob, 7));
}

TEST_F(MemoEditorTest, KeyboardCutAndPasteUndoAndRedo) {
  MemoEditor ed(*ann);
  Open(*ann, ed, 1);
  ed.Area.Text = "Hello brave world";
  Select(ed, 6, 6);
  ed.EditKeyDown(EditorKey::ShiftDel);
  EXPECT_EQ(ed.Area.Text, "Hello world");
  EXPECT_EQ(fake.clipboard.content, "brave ");
  ed.EditKeyDown(EditorKey::AltBackspace);
  EXPECT_EQ(ed.Area.Text, "Hello brave world");
  ed.EditKeyDown(EditorKey::AltBackspace);
  EXPECT_EQ(ed.Area.Text, "Hello world");

  fake.clipboard.content = "Dear all,\r\n";
  Select(ed, 0, 0);
  ed.EditKeyDown(EditorKey::ShiftIns);
  EXPECT_EQ(ed.Area.Text, "Dear all,\nHello world");
  EXPECT_EQ(ed.Area.SelStart, 10);
  ed.EditKeyDown(EditorKey::AltBackspace);
  EXPECT_EQ(ed.Area.Text, "Hello world");
  ed.EditKeyDown(EditorKey::AltBackspace);
  EXPECT_EQ(ed.Area.Text, "Dear all,\nHello world");
  EXPECT_TRUE(ed.Modified);
}

TEST_F(MemoEditorTest, FindMovesOnAndWrapsRoundThroughNotFound) {
  MemoEditor ed(*ann);
  Open(*ann, ed, 1);
  ed.Area.Text = "Alpha\nbeta alpha\ngamma";
  for (int i = 0; i < 4; ++i) fake.password.type("alpha");
  ed.EditFindClick();
  EXPECT_EQ(ed.Area.SelStart, 0);
  EXPECT_EQ(ed.Area.SelLength, 5);
  ed.EditFindClick();
  EXPECT_EQ(ed.Area.SelStart, 11);
  EXPECT_TRUE(fake.dialogs.dialogs.empty());
  ed.EditFindClick();
  ASSERT_EQ(fake.dialogs.dialogs.size(), 1u);
  EXPECT_EQ(fake.dialogs.dialogs[0].message, "\"ALPHA\" was not found.");
  EXPECT_EQ(fake.dialogs.dialogs[0].captionKind, 2);
  EXPECT_EQ(ed.Area.SelStart, 0);
  EXPECT_EQ(ed.Area.SelLength, 0);
  ed.EditFindClick();
  EXPECT_EQ(ed.Area.SelLength, 5);
  EXPECT_FALSE(ed.Modified);
}

TEST_F(MemoEditorTest, CancelAsksBeforeDiscardingAndOkCreatesTheFile) {
  MemoEditor ed(*ann);
  Open(*ann, ed, 1);
  ed.Area.Text = "Dentist Tuesday\nBack at 2";
  ed.EditKeyDown(EditorKey::Other);
  fake.dialogs.answers = {2};
  ed.CancelBtnClick();
  EXPECT_FALSE(ed.view.Closed);
  ed.OKbtnClick();
  EXPECT_TRUE(ed.view.Closed);
  EXPECT_EQ(test::readFile(data / "BULLETIN/ANN.DAN"), "Dentist Tuesday\r\nBack at 2\r\n");
}

TEST_F(MemoEditorTest, TwoWorkstationsEditingTheirOwnMemosLoseNothing) {
  test::FakePlatform catPlatform, danPlatform;
  auto cat = station("CAT", &catPlatform);
  auto dan = station("DAN", &danPlatform);
  MemoEditor annEd(*ann), catEd(*cat), danViewsCat(*dan);
  Open(*ann, annEd, 1);
  Open(*cat, catEd, 3);
  annEd.Area.Text = "Ann's plans";
  catEd.Area.Text = "Cat's plans";
  annEd.EditKeyDown(EditorKey::Other);
  catEd.EditKeyDown(EditorKey::Other);
  catEd.OKbtnClick();
  Open(*dan, danViewsCat, 3);
  catEd.FormShow({0, 0, 600, 400});
  catEd.Area.Text = "Cat's new plans";
  catEd.EditKeyDown(EditorKey::Other);
  catEd.OKbtnClick();
  danViewsCat.OKbtnClick();  // the old view closes without writing
  annEd.OKbtnClick();
  EXPECT_EQ(test::readFile(data / "BULLETIN/ANN.DAN"), "Ann's plans\r\n");
  EXPECT_EQ(test::readFile(data / "BULLETIN/CAT.DAN"), "Cat's new plans\r\n");

  // The window's place is remembered per user.
  annEd.Resized({10, 20, 500, 300});
  MemoClosed(*ann);
  EXPECT_EQ(ann->accessories.Editor.Mode, 0);
  RequestMemo(*ann, 1);
  annEd.FormShow({100, 100, 600, 400});
  EXPECT_EQ(annEd.view.Bounds.left, 10);
  EXPECT_EQ(annEd.view.Bounds.top, 20);
  EXPECT_EQ(annEd.view.Bounds.height, 300);
  EXPECT_TRUE(std::filesystem::exists(data / "CFGANN.DAF"));
}

}  // namespace
}  // namespace egresso
