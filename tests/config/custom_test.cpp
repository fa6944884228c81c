#include "config/custom.h"

#include <gtest/gtest.h>

#include <string>

#include "board/board_world.h"
#include "storage/bytes.h"
#include "support/faulty_file_ops.h"
#include "config/config_store.h"

namespace egresso {
namespace {

using test::BoardWorld;
using test::readFile;
using test::writeFile;

// The byte ranges of the main configuration the dialog writes.
bool OwnedByDialog(std::size_t off) {
  return (off >= mcfg::EmpInitials && off < 1256 + 1500) || (off >= mcfg::MainUserInitials && off < mcfg::MainUserInitials + 4) ||
         (off >= 4975 && off < 4975 + 50);
}

class Custom : public ::testing::Test {
 protected:
  BoardWorld w;
  CustomDialog dlg{w.ws};

  void SetUp() override {
    w.allIn();
    w.putLocation(2, "Bank", w.ws.Today + 1, 1500);
    w.putLocation(4, "Lunch", w.ws.Today, 1300);
    writeFile(w.dir / "BULLETIN" / "4.DA1", "Dan's memo");
    writeFile(w.dir / "BULLETIN" / "3.DA1", "Claire's memo");
  }
  void setRow(int r, const std::string& ini, const std::string& name = "") {
    dlg.view.Grid[static_cast<std::size_t>(r)] = {ini, name};
  }
  MainConfig stored() const {
    MainConfig m;
    RecordFile f;
    if (f.open(w.ws.paths.MainConfigPath, mcfg::Size, RecordFile::Mode::ReadOnly, PosixFileOps()) == io::Ok) f.read(0, m.bytes);
    return m;
  }
};

TEST_F(Custom, RowsWithAGapCloseUpAndTheLocationsFollowTheirPeople) {
  // Reserved bytes all over the record, and per-employee ones for Dan.
  for (std::size_t i = 0; i < mcfg::Size; ++i)
    if (!OwnedByDialog(i) && i != mcfg::LastDateUsed && i != mcfg::LastDateUsed + 1) w.ws.mcfg.bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
  w.ws.mcfg.bytes[1256 + 30 * 3] = 0x81;  // Dan's first amount
  w.ws.mcfg.bytes[4975 + 3] = 1;          // Dan's flag
  w.saveConfig();
  const MainConfig before = stored();

  dlg.FormShow();
  ASSERT_TRUE(dlg.EnterGrid());
  setRow(3, "");  // Claire leaves
  setRow(5, "");  // and Eva
  dlg.OKBtnClick(false);
  ASSERT_TRUE(dlg.view.Closed);
  ASSERT_TRUE(dlg.view.Saved);

  const MainConfig after = stored();
  EXPECT_EQ(after.empInitials(1), "ANN");
  EXPECT_EQ(after.empInitials(2), "BOB");
  EXPECT_EQ(after.empInitials(3), "DAN");
  EXPECT_EQ(after.empName(3), "Daniel Evans");
  EXPECT_EQ(after.empInitials(4), "");
  EXPECT_EQ(after.bytes[1256 + 30 * 2], 0x81);  // Dan's reserved values moved with him
  EXPECT_EQ(after.bytes[4975 + 2], 1);
  EXPECT_EQ(after.bytes[4975 + 3], 0);
  for (std::size_t i = 0; i < mcfg::Size; ++i) {
    if (!OwnedByDialog(i)) {
      ASSERT_EQ(after.bytes[i], before.bytes[i]) << "offset " << i;
    }
  }

  // LOCATE: 51 records in table order; Dan's entry and memo went to slot 3.
  EXPECT_EQ(std::filesystem::file_size(w.path("LOCATE.DAF")), 51u * 512);
  EXPECT_EQ(std::filesystem::file_size(w.path("LOCATE.DAI")), 51u * 3);
  EXPECT_EQ(w.record("LOCATE.DAF", 2).headline(), "Bank");
  EXPECT_EQ(w.record("LOCATE.DAF", 3).who(), "DAN");
  EXPECT_EQ(w.record("LOCATE.DAF", 3).headline(), "Lunch");
  EXPECT_EQ(w.index("LOCATE.DAI", 3).Key, w.ws.Today);
  EXPECT_EQ(readFile(w.dir / "BULLETIN" / "3.DA1"), "Dan's memo");
  EXPECT_FALSE(std::filesystem::exists(w.dir / "BULLETIN" / "4.DA1"));
  EXPECT_EQ(w.record("LOCATE.DAF", 4).who(), "");
  // The others are told; the main user is not.
  EXPECT_EQ(readFile(w.dir / "EMPBOB"), "1");
  EXPECT_TRUE(std::filesystem::exists(w.dir / "EMPDAN"));
  EXPECT_FALSE(std::filesystem::exists(w.dir / "EMPANN"));
  EXPECT_FALSE(std::filesystem::exists(w.dir / "TEMPLOC.DAF"));
  EXPECT_FALSE(std::filesystem::exists(w.dir / "MAINT.JNL"));
}

TEST_F(Custom, AMainUserOutsideTheListIsRefusedUntilAdded) {
  const std::string before = readFile(w.ws.paths.MainConfigPath);
  dlg.FormShow();
  ASSERT_TRUE(dlg.EnterMainUser());
  dlg.view.MainUser = "fay";
  dlg.OKBtnClick(false);
  EXPECT_FALSE(dlg.view.Closed);
  EXPECT_EQ(dlg.view.Focus, CustomFocus::MainUser);
  EXPECT_EQ(readFile(w.ws.paths.MainConfigPath), before);
  EXPECT_FALSE(std::filesystem::exists(w.path("CFGMAIN.LOK")));

  ASSERT_TRUE(dlg.EnterGrid());
  ASSERT_TRUE(dlg.SelectCell(6, 0));
  setRow(6, "fay", "Fay Gomez");
  ASSERT_TRUE(dlg.SelectCell(6, 1));
  EXPECT_EQ(dlg.view.Grid[6][0], "FAY");  // typed lower case, kept upper case
  dlg.OKBtnClick(false);
  ASSERT_TRUE(dlg.view.Closed);
  EXPECT_EQ(stored().mainUserInitials(), "FAY");
  EXPECT_EQ(stored().empInitials(6), "FAY");
}

TEST_F(Custom, ANewEmployeeGetsAFreshInOfficeEntry) {
  dlg.FormShow();
  ASSERT_TRUE(dlg.EnterGrid());
  setRow(6, "GUS", "Gus Hill");
  dlg.OKBtnClick(false);
  ASSERT_TRUE(dlg.view.Saved);
  const BulBrdRcrd gus = w.record("LOCATE.DAF", 6);
  EXPECT_EQ(gus.who(), "GUS");
  EXPECT_EQ(gus.headline(), "");
  EXPECT_EQ(gus.closed(), 0);
  EXPECT_TRUE(w.index("LOCATE.DAI", 6).stale());
  w.mode(1);
  BuildBoardList(w.ws);
  bool shown = false;
  for (const auto& l : w.lines()) shown = shown || (l.rfind("Gus Hill", 0) == 0 && l.find("Not signed in yet") != std::string::npos);
  EXPECT_TRUE(shown);
}

TEST_F(Custom, SomebodyElsesOkChangesNothing) {
  BoardWorld bob("BOB");
  bob.allIn();
  const std::string config = readFile(bob.ws.paths.MainConfigPath);
  const std::string locate = readFile(bob.path("LOCATE.DAF"));
  CustomDialog d(bob.ws);
  d.FormShow();
  EXPECT_FALSE(d.EnterGrid());
  EXPECT_NE(bob.fake.dialogs.allText().find("ANN"), std::string::npos);
  d.view.Grid[2] = {"", ""};
  d.OKBtnClick(false);
  EXPECT_TRUE(d.view.Closed);
  EXPECT_FALSE(d.view.Saved);
  EXPECT_EQ(readFile(bob.ws.paths.MainConfigPath), config);
  EXPECT_EQ(readFile(bob.path("LOCATE.DAF")), locate);
  EXPECT_FALSE(std::filesystem::exists(bob.dir / "EMPANN"));
}

TEST_F(Custom, DuplicateInitialsAreCaughtOnLeavingTheCellAndTheGrid) {
  dlg.FormShow();
  ASSERT_TRUE(dlg.EnterGrid());
  ASSERT_TRUE(dlg.SelectCell(6, 0));
  setRow(6, " bob");
  EXPECT_FALSE(dlg.SelectCell(7, 0));
  EXPECT_EQ(dlg.view.Row, 6);
  EXPECT_NE(w.fake.dialogs.allText().find("\"BOB\""), std::string::npos);
  EXPECT_FALSE(dlg.ExitGrid());
  setRow(6, "BOX");
  EXPECT_TRUE(dlg.ExitGrid());

  // Insert and Delete move the rows under the current one.
  ASSERT_TRUE(dlg.EnterGrid());
  dlg.SelectCell(2, 0);
  dlg.InsertRow();
  EXPECT_EQ(dlg.view.Grid[2][0], "");
  EXPECT_EQ(dlg.view.Grid[3][0], "BOB");
  dlg.DeleteRow();
  EXPECT_EQ(dlg.view.Grid[2][0], "BOB");
  EXPECT_TRUE(dlg.Modified);
  // Cancel asks first; No keeps the dialog.
  w.fake.dialogs.answers = {2};
  dlg.OKBtnClick(true);
  EXPECT_FALSE(dlg.view.Closed);
  dlg.OKBtnClick(true);
  EXPECT_TRUE(dlg.view.Closed);
}

// OK writes the table and the main user; the rest goes back as it was (as
// the suite's form normalises it), this workstation keeps its switches, and
// a sound file that cannot be found keeps the dialog open.
TEST_F(Custom, OkKeepsWhatTheDialogDoesNotOwn) {
  w.notice(127, "Customer");
  MainConfig file = stored();
  file.setStr(4628 + 16, 15, "");                                           // the second term emptied
  putReal48(Bytes(file.bytes.data(), file.bytes.size()), 1256 + 36, 12.3456);  // one of Bob's amounts
  w.ws.mcfg = file;
  w.saveConfig();
  w.ws.options.ArchiveOn = true;  // started with "/AM"
  w.ws.mcfg.setU8(mcfg::ArchiveMessages, 1);
  w.ws.pcfg.setStr(pcfg::UserPassword, 8, "secret");
  for (const char* sound : {"no-such-sound.wav", ""}) {
    w.ws.pcfg.setStr(pcfg::AlarmSound, 40, sound);
    CustomDialog d(w.ws);
    d.FormShow();
    d.OKBtnClick(false);
    EXPECT_EQ(d.view.Saved, *sound == '\0') << sound;
  }
  const MainConfig after = stored();
  EXPECT_EQ(after.str(4628 + 16, 15), "Customer");
  EXPECT_NEAR(getReal48(ConstBytes(after.bytes.data(), after.bytes.size()), 1256 + 36), 12.35, 1e-9);
  EXPECT_EQ(after.u8(mcfg::ArchiveMessages), 0);
  EXPECT_EQ(w.ws.mcfg.u8(mcfg::ArchiveMessages), 1);
  EXPECT_EQ(w.ws.pcfg.str(pcfg::UserPassword, 8), "");
}

// A location file that cannot be read whole is left as it is: no entry
// comes back as a fresh "(not updated)" one with its location lost.
TEST_F(Custom, AnUnreadableLocationFileIsNotRebuilt) {
  const std::string before = readFile(w.path("LOCATE.DAF"));
  test::FaultyFileOps faulty;
  faulty.arm(3, EIO, test::FaultyFileOps::Read, true);
  w.ws.files = &faulty;
  RebuildLocations(w.ws);
  w.ws.files = &PosixFileOps();
  EXPECT_GT(faulty.faults, 0);
  EXPECT_EQ(readFile(w.path("LOCATE.DAF")), before);
}

}  // namespace
}  // namespace egresso
