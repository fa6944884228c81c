// Lines and forms older than the files (a purge in another process, a new
// employee table): nothing is written through them, and the user is told.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <utility>

#include "board/board_commands.h"
#include "board/board_lines.h"
#include "board/board_list.h"
#include "board/refresh.h"
#include "config/custom.h"
#include "messages/form_world.h"
#include "storage/dates.h"
#include "platform/services.h"
#include "support/child_process.h"

namespace egresso {
namespace {

using test::FormWorld;

TEST(StaleEntry, NothingIsWrittenThroughALineOrFormOlderThanTheFiles) {
  // What each case does to record r, and when the other workstation acts.
  enum What { DeleteKey, Drag, Open, SaveOpenForm };
  const struct { What what; int r; bool board; } cases[] = {
      {DeleteKey, 2, false}, {Drag, 3, false}, {Open, 3, false}, {SaveOpenForm, 2, false}, {DeleteKey, 4, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.what) + " on record " + std::to_string(c.r));
    FormWorld w;
    w.ws.options.QuietBoard = true;
    for (int k = 0; k < 4; ++k) w.putMessage({"BOB", {"ANN"}, "a" + std::to_string(k), w.ws.Today, 900 + k});
    w.ws.board.RecordBuffer = w.record("MESSAGE.DAF", 0);
    w.ws.board.RecordBuffer.setClosed(1);  // deleted by its sender
    WriteBoardRecord(w.ws, 0, "TEST");
    w.putLocation(4, "Bank", w.ws.Today + 1);
    w.putLocation(5, "Fair", w.ws.Today + 1);
    w.mode(c.board ? 1 : 0);
    BuildBoardList(w.ws);
    const auto files = [&] { return test::readFile(w.dir / "MESSAGE.DAF") + test::readFile(w.dir / "LOCATE.DAF"); };
    std::string after, said;
    auto change = [&] {
      if (c.board) {  // DAN and EVA change places in the table
        auto main = w.other("ANN");
        main->mcfg.setEmpInitials(4, "EVA");
        main->mcfg.setEmpInitials(5, "DAN");
        std::swap(w.ws.mcfg, main->mcfg);
        w.saveConfig();
        std::swap(w.ws.mcfg, main->mcfg);
        test::writeFile(w.dir / "EMPANN", "");
        RebuildLocations(*main);
      } else {
        const pid_t pid = test::SpawnChild(test::ChildProgram("maintenance_child"), {w.dir.str(), "purge"});
        int status = 1;
        ::waitpid(pid, &status, 0);
        ASSERT_EQ(status, 0);
      }
      after = files();
    };
    BoardHooks hooks;
    hooks.openForm = [&](char, int) {
      EgressoForm form(w.ws);
      form.FormShow();
      if (c.what == SaveOpenForm) change();
      form.f.DeleteBtn = true;
      said = form.f.label1;
      form.OKbtnClick();
      EXPECT_TRUE(form.closed() && !form.saved());
      if (c.what == Open) EXPECT_EQ(form.f.EmpOut + form.f.ReturnTime + form.f.Location, "");
      return false;
    };
    if (c.what != SaveOpenForm) change();
    if (c.what == Drag)
      ListDragDrop(w.ws, c.r, true);
    else
      OpenEntry(w.ws, c.r, false, false, c.what == DeleteKey, hooks);
    EXPECT_EQ(files(), after);
    EXPECT_NE((w.fake.dialogs.allText() + said).find(MessageText(w.ws, kEntryChangedNotice)), std::string::npos);
    for (const auto& line : w.ws.board.BBSlist)  // built again from the files
      EXPECT_EQ(line.entry, CurrentEntry(w.ws, RecordNumberOfLine(line.text))) << line.text;
  }
}

// Another workstation's save that finishes while this one waits: until the
// first pause the folder holds the record new and its index entry old, as a
// look between the two writes finds it.
class FinishedWhileWaiting : public EventPump {
 public:
  FinishedWhileWaiting(EventPump& inner, std::function<void()> finish) : inner_(inner), finish_(std::move(finish)) {}
  int processEvents() override { return inner_.processEvents(); }
  void sleepMs(int ms) override {
    finish();
    inner_.sleepMs(ms);
  }
  // The save is over by the time this one goes on, waited for or not.
  void finish() {
    if (finish_) std::exchange(finish_, nullptr)();
  }

 private:
  EventPump& inner_;
  std::function<void()> finish_;
};

TEST(StaleEntry, AFormOpenedWhileAnotherWorkstationSavesIsNoStaleView) {
  // A message saved at the end, one saved into a deleted message's slot,
  // and a sign-out: each caught between its record and its index entry.
  enum Where { Appended, ReusedSlot, SignOut };
  for (const Where where : {Appended, ReusedSlot, SignOut}) {
    SCOPED_TRACE(where);
    FormWorld w;
    w.ws.options.QuietBoard = true;
    w.putMessage({"BOB", {"ANN"}, "first", w.ws.Today, 900});
    if (where == ReusedSlot) {
      w.putMessage({"BOB", {"ANN"}, "gone", w.ws.Today - 1, 800});
      w.ws.board.RecordBuffer = w.record("MESSAGE.DAF", 1);
      w.ws.board.RecordBuffer.setClosed(1);
      WriteBoardRecord(w.ws, 1, "TEST");
    }
    const bool loc = where == SignOut;
    const std::string index = loc ? "LOCATE.DAI" : "MESSAGE.DAI";
    const std::string before = test::readFile(w.dir / index);
    auto bob = w.other("BOB");
    int r = 2;
    if (loc) {
      auto form = FormWorld::show(*bob, 1, 'N');
      form->f.Location = "Dentist";
      form->f.ReturnDate = FormatDay(*bob, bob->Today + 2);
      form->f.ReturnTime = "3P";
      form->OKbtnClick();
      ASSERT_TRUE(form->saved());
      r = bob->UserSlot;
    } else {
      ASSERT_EQ(FormWorld::send(*bob, "ANN", "Call Mrs. Lindqvist", "About the lease"), 1);
      r = 1;
    }
    const std::string after = test::readFile(w.dir / index);
    test::writeFile(w.dir / index, before);
    FinishedWhileWaiting pump(*w.ws.platform.events, [&] { test::writeFile(w.dir / index, after); });
    EventPump* own = w.ws.platform.events;
    w.ws.platform.events = &pump;
    auto form = FormWorld::show(w.ws, loc ? 1 : 0, kOpenRecordCommand, r);
    w.ws.platform.events = own;
    pump.finish();
    if (loc) {
      form->f.Location = "Dentist, then home";
    } else {
      form->f.ReadBtn = true;
    }
    form->OKbtnClick();
    EXPECT_TRUE(form->saved());
    EXPECT_EQ(w.fake.dialogs.allText().find(MessageText(w.ws, kEntryChangedNotice)), std::string::npos);
    const BulBrdRcrd stored = w.record(loc ? "LOCATE.DAF" : "MESSAGE.DAF", r);
    if (loc) {
      EXPECT_EQ(ReadBodyText(BodyFilePath(w.ws, BoardSet::Locations, r), PosixFileOps()), "Dentist, then home");
    } else {
      EXPECT_EQ(stored.readMark(w.ws.UserSlot) & 1, 1);
    }
  }
}

TEST(StaleEntry, ASignOutNobodySawIsMadeOverWhatTheSlotHoldsWhenSaved) {
  // BOB is out when the form opens; meanwhile another workstation signs
  // him in, or changes his sign-out.
  enum Meanwhile { SignedIn, Changed };
  for (const Meanwhile meanwhile : {SignedIn, Changed}) {
    for (const bool seen : {true, false}) {
      if (seen && meanwhile == Changed) continue;
      SCOPED_TRACE(std::to_string(meanwhile) + (seen ? " seen" : " not seen"));
      FormWorld w;
      w.ws.options.QuietBoard = true;
      const int slot = w.ws.mcfg.slotOf("BOB");
      w.putLocation(slot, "Bank", w.ws.Today + 1, 1000);
      w.mode(1);
      w.ws.form.ActOnStored = !seen;
      auto form = FormWorld::show(w.ws, 1, kOpenRecordCommand, slot, slot);
      auto cla = w.other("CLA");
      FormWorld::mode(*cla, 1);
      if (meanwhile == SignedIn) {
        ASSERT_EQ(CloseEntry(*cla, slot, BoardSource::OutButton), CloseResult::Closed);
      } else {
        auto other = FormWorld::show(*cla, 1, kOpenRecordCommand, slot, slot);
        other->f.Location = "Bank";
        other->f.ReturnTime = "11A";
        other->OKbtnClick();
        ASSERT_TRUE(other->saved());
      }
      const BulBrdRcrd between = w.record("LOCATE.DAF", slot);
      form->f.Location = "Client visit";
      form->OKbtnClick();
      EXPECT_EQ(form->saved(), !seen);
      const BulBrdRcrd stored = w.record("LOCATE.DAF", slot);
      if (seen) {
        EXPECT_EQ(stored.bytes, between.bytes) << "a form the user saw writes nothing over a change";
        continue;
      }
      EXPECT_EQ(stored.closed(), 0);
      EXPECT_EQ(stored.headline(), "Client visit");
      EXPECT_EQ(w.index("LOCATE.DAI", slot).Key, stored.returnDay());
      // Signed in meanwhile: a new sign-out, made now by this workstation.
      EXPECT_EQ(stored.enteredBy(), meanwhile == SignedIn ? "ANN" : between.enteredBy());
      EXPECT_EQ(stored.madeTime(), meanwhile == SignedIn ? CurrentTimeHHMM(w.ws) : between.madeTime());
    }
  }
}

// A colleague added to the table on one workstation signs out on another;
// a third whose table in memory predates it makes a pass that may write.
// The entry is kept and shown with the new table, whether the signal file
// of the change reached that workstation or not.
TEST(StaleEntry, ANewColleaguesFirstSignOutIsKeptByABoardWithAnOlderTable) {
  for (const bool signalled : {true, false}) {
    SCOPED_TRACE(signalled ? "signal file there" : "no signal file");
    FormWorld w;
    auto bob = w.other("BOB");  // started before the new colleague came
    FormShow(*bob);
    w.ws.mcfg.setEmpInitials(6, "FAY");
    w.ws.mcfg.setEmpName(6, "Fay Green");
    w.saveConfig();
    if (signalled) test::writeFile(w.dir / "EMPBOB", "");
    auto fay = w.other("FAY");
    auto form = FormWorld::show(*fay, 1, 'N');
    form->f.ReturnTime = "4:30P";
    form->f.Location = "Bank";
    form->OKbtnClick();
    ASSERT_TRUE(form->closed());

    FormShow(*bob);  // the board shown anew: its pass signs in what has expired
    EXPECT_FALSE(w.index("LOCATE.DAI", 6).closed());
    EXPECT_EQ(w.record("LOCATE.DAF", 6).who(), "FAY");
    EXPECT_EQ(w.record("LOCATE.DAF", 6).headline(), "Bank");
    EXPECT_TRUE(std::filesystem::exists(w.dir / "BULLETIN" / "6.DA1"));
    EXPECT_EQ(bob->mcfg.slotOf("FAY"), 6);
    EXPECT_FALSE(std::filesystem::exists(w.dir / "EMPBOB")) << "a signal is taken";
    const auto lines = test::BoardWorld::linesOf(*bob);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.rfind("Fay Green", 0) == 0 && l.find("Bank") != l.npos; }));
  }
}

}  // namespace
}  // namespace egresso
