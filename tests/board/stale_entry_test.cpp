// Lines and forms older than the files (a purge in another process, a new
// employee table): nothing is written through them, and the user is told.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include "board/board_commands.h"
#include "board/board_lines.h"
#include "config/custom.h"
#include "messages/form_world.h"
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

}  // namespace
}  // namespace egresso
