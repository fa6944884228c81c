// A line or an open form names its entry by a record number, which other
// workstations change under it: a purge in another process renumbers the
// messages, a new employee table moves people to other slots. Whatever is
// done on the stale line or form writes nothing it should not, the user is
// told, and the list is built again from the files.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <functional>

#include "board/board_commands.h"
#include "board/board_lines.h"
#include "config/custom.h"
#include "messages/entry_identity.h"
#include "messages/form_world.h"
#include "support/child_process.h"

namespace egresso {
namespace {

using test::FormWorld;

// Messages to ANN: "a0" deleted by its sender, then "a1", "a2", "a3", each
// with a body naming it.
void WriteMessages(FormWorld& w) {
  const char* senders[] = {"BOB", "BOB", "CLA", "DAN"};
  for (int k = 0; k < 4; ++k) {
    const std::string name = "a" + std::to_string(k);
    const int n = w.putMessage({senders[k], {"ANN"}, name, w.ws.Today, 900 + k});
    test::writeFile(w.dir / "BULLETIN" / (std::to_string(n) + ".DA0"), "body " + name);
  }
  BulBrdRcrd& r = w.ws.board.RecordBuffer;
  r = w.record("MESSAGE.DAF", 0);
  r.setClosed(1);
  WriteBoardRecord(w.ws, 0, "TEST");
}

// The purge of the main user's workstation, in a process of its own.
void PurgeInAnotherProcess(FormWorld& w) {
  const pid_t pid = test::SpawnChild(test::ChildProgram("maintenance_child"), {w.dir.str(), "purge"});
  ASSERT_NE(pid, 0);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

struct StaleCase {
  const char* name;
  bool board;  // the in/out board, else the message list
  bool toldByForm;  // the form itself says why it is empty
  // Does something on the lines (and forms) built before change() ran.
  std::function<void(FormWorld&, const std::function<void()>& change)> act;
};

BoardHooks FormHooks(FormWorld& w, const std::function<void(EgressoForm&)>& use) {
  BoardHooks hooks;
  hooks.openForm = [&w, use](char, int) {
    EgressoForm form(w.ws);
    form.FormShow();
    use(form);
    return false;
  };
  return hooks;
}

TEST(StaleEntry, WhatIsDoneOnALineOrFormOlderThanTheFilesWritesNothingAndIsTold) {
  const StaleCase cases[] = {
      {"Delete key on a line renumbered by a purge", false, false,
       [](FormWorld& w, const auto& change) {
         change();
         OpenEntry(w.ws, 2, false, false, true, {});
       }},
      {"dragging a line beyond the purged file's end", false, false,
       [](FormWorld& w, const auto& change) {
         change();
         ListDragDrop(w.ws, 3, true);
       }},
      {"opening a line beyond the purged file's end", false, true,
       [](FormWorld& w, const auto& change) {
         change();
         OpenEntry(w.ws, 3, false, false, false, FormHooks(w, [&w](EgressoForm& form) {
                     EXPECT_TRUE(form.entryGone());
                     EXPECT_EQ(form.f.EmpOut + form.f.ReturnTime + form.f.Location, "");
                     EXPECT_EQ(form.f.label1, MessageText(w.ws, kEntryChangedNotice));
                     form.OKbtnClick();
                     EXPECT_TRUE(form.closed());
                   }));
       }},
      {"saving a form open while the purge ran", false, false,
       [](FormWorld& w, const auto& change) {
         OpenEntry(w.ws, 2, false, false, false, FormHooks(w, [&](EgressoForm& form) {
                     EXPECT_FALSE(form.entryGone());
                     change();
                     form.f.DeleteBtn = true;
                     form.OKbtnClick();
                     EXPECT_TRUE(form.closed());
                     EXPECT_FALSE(form.saved());
                   }));
       }},
      {"Delete key on a board line whose slot a new employee table gave to another", true, false,
       [](FormWorld& w, const auto& change) {
         change();
         OpenEntry(w.ws, 4, false, false, true, {});
       }},
  };
  for (const StaleCase& c : cases) {
    SCOPED_TRACE(c.name);
    FormWorld w;
    w.ws.options.QuietBoard = true;  // no confirmation of another's entry
    WriteMessages(w);
    w.putLocation(4, "Bank", w.ws.Today + 1);
    w.putLocation(5, "Fair", w.ws.Today + 1);
    w.mode(c.board ? 1 : 0);
    BuildBoardList(w.ws);
    std::string after;  // the files as the other workstation left them
    const auto files = [&] { return test::readFile(w.dir / "MESSAGE.DAF") + test::readFile(w.dir / "LOCATE.DAF"); };
    auto change = [&] {
      if (c.board) {
        // DAN and EVA change places in the table, and their entries with them.
        auto main = w.other("ANN");
        main->mcfg.setEmpInitials(4, "EVA");
        main->mcfg.setEmpInitials(5, "DAN");
        w.ws.mcfg.bytes.swap(main->mcfg.bytes);
        w.saveConfig();
        w.ws.mcfg.bytes.swap(main->mcfg.bytes);
        test::writeFile(w.dir / "EMPANN", "");
        RebuildLocations(*main);
      } else {
        PurgeInAnotherProcess(w);
      }
      after = files();
    };
    c.act(w, change);
    EXPECT_EQ(files(), after);
    if (!c.toldByForm)
      EXPECT_NE(w.fake.dialogs.allText().find(MessageText(w.ws, kEntryChangedNotice)), std::string::npos);
    // The list shows the files as they are now.
    for (const auto& line : w.ws.board.BBSlist) {
      const int r = RecordNumberOfLine(line.text);
      EXPECT_EQ(line.entry, CurrentEntry(w.ws, r)) << line.text;
    }
  }
}

}  // namespace
}  // namespace egresso
