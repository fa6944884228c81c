// Every write path of the storage layer with one of its steps failing: a
// full disk, an I/O error, a refused access, the data folder gone (from
// that step on). For each fault the step that fails moves on through the
// whole operation until it completes without meeting the fault. After each
// try the files hold the old or the new version (the new one when the
// operation let the user believe it worked), the failure was reported, and
// no lock is left held.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "board/board_list.h"
#include "messages/board_files.h"
#include "messages/form_world.h"
#include "storage/notify_file.h"
#include "config/config_store.h"
#include "storage/file_set.h"
#include "storage/locks.h"
#include "support/faulty_file_ops.h"

namespace egresso {
namespace {

using test::FaultyFileOps;
using test::FormWorld;

struct Fault {
  const char* name;
  int error;
  unsigned kinds;
  bool persistent;
};

constexpr Fault kFaults[] = {
    {"disk full", ENOSPC, FaultyFileOps::Changes, false},
    {"I/O error", EIO, FaultyFileOps::Any & ~FaultyFileOps::Looks, false},
    {"access denied", EACCES, FaultyFileOps::Open | FaultyFileOps::Rename | FaultyFileOps::Unlink, false},
    {"data folder gone", ENOENT, FaultyFileOps::Any & ~FaultyFileOps::Looks, true},
};

// The files an operation writes, by name in the data folder.
using Snapshot = std::map<std::string, std::string>;
constexpr const char* kMissing = "<missing>";

// A notification file counts by the letters it holds: one that holds none
// is as good as none, and a letter may come twice by design (when the
// writer cannot tell whether its record went in, it adds it again).
std::string letters(const std::filesystem::path& p) {
  std::vector<std::string> texts;
  ReadNotifyTexts(PosixFileOps(), p.string(), texts);
  std::sort(texts.begin(), texts.end());
  texts.erase(std::unique(texts.begin(), texts.end()), texts.end());
  std::string all;
  for (const auto& t : texts) all += t + "|";
  return all;
}

Snapshot snapshot(const FormWorld& w, const std::vector<std::string>& names) {
  Snapshot s;
  for (const auto& n : names) {
    const auto p = w.dir / n;
    if (n.rfind("TIMER.", 0) == 0)
      s[n] = letters(p);
    else
      s[n] = std::filesystem::exists(p) ? test::readFile(p) : kMissing;
  }
  return s;
}

constexpr int kFailed = 0, kWorked = 1, kSilent = -1;

int said(bool worked) { return worked ? kWorked : kFailed; }

struct Operation {
  const char* name;
  std::vector<std::string> files;
  std::function<void(FormWorld&)> prepare;
  // Runs the operation: what it tells its caller (kWorked, kFailed), or
  // kSilent for one that gives no result and reports to the user only.
  std::function<int(FormWorld&)> run;
  // Files that change together: either all old or all new.
  bool wholeSet = false;
};

BulBrdRcrd changedLocation() {
  BulBrdRcrd r;
  r.clear();
  r.setWho("BOB");
  r.setHeadline("At the dentist");
  r.setReturnDay(31000);
  r.setReturnAt(1500);
  return r;
}

void stage(FormWorld& w, const std::string& target, const std::string& text, FileSetSwitch& sw) {
  const std::string staged = sw.StagingName(w.path(target));
  test::writeFile(staged, text);
  sw.Replace(staged, w.path(target));
}

std::vector<Operation> operations() {
  return {
      {"board record save",
       {"LOCATE.DAF", "LOCATE.DAI"},
       [](FormWorld&) {},
       [](FormWorld& w) {
         w.ws.board.RecordBuffer = changedLocation();
         return said(WriteBoardRecord(w.ws, 2, "FAULT") == io::Ok);
       }},
      {"message save",
       {"MESSAGE.DAF", "MESSAGE.DAI", "BULLETIN/1.DA0", "TIMER.BOB"},
       [](FormWorld& w) { FormWorld::send(w.ws, "CLA", "Earlier", "An earlier message"); },
       [](FormWorld& w) {
         // The form closes either way; what went wrong is shown on the way.
         FormWorld::send(w.ws, "BOB", "Budget", "Please check\nthe figures.");
         return kSilent;
       }},
      {"configuration save",
       {"CFGMAIN.DAF"},
       [](FormWorld&) {},
       [](FormWorld& w) {
         w.ws.mcfg.setEmpName(4, "Daniel Evans-Smith");
         WriteMainConfig(w.ws, "FAULT");
         return kSilent;
       }},
      {"notification letter",
       {"TIMER.BOB"},
       [](FormWorld& w) { PutNotifyText(w.path("TIMER.BOB"), "12345B", PosixFileOps()); },
       [](FormWorld& w) { return said(AppendNotifyLetter(w.ws, "BOB", 'M') == io::Ok); }},
      {"in/out journal line",
       {"INOUTBOB.DAF"},
       [](FormWorld& w) {
         w.ws.mcfg.setU8(mcfg::InOutLog, 1);
         w.ws.board.RecordBuffer = changedLocation();
         test::writeFile(w.path("INOUTBOB.DAF"), "an earlier line\r\n");
       },
       [](FormWorld& w) {
         WriteJournal(w.ws, 'O');
         return kSilent;
       }},
      {"lock take and release",
       {},
       [](FormWorld&) {},
       [](FormWorld& w) {
         if (!AcquireLock(w.ws, lockname::Locate, "FAULT")) return kFailed;
         ReleaseLock(w.ws, lockname::Locate);
         return kWorked;
       }},
      {"file maintenance switch",
       {"ACCT.DAF", "ACCT.DAI", "CATGRY.DAF"},
       [](FormWorld& w) {
         test::writeFile(w.path("ACCT.DAF"), "old data");
         test::writeFile(w.path("ACCT.DAI"), "old index");
         test::writeFile(w.path("CATGRY.DAF"), "dropped");
       },
       [](FormWorld& w) {
         FileSetSwitch sw(w.ws.paths.DataFolder, *w.ws.files);
         stage(w, "ACCT.DAF", "new data", sw);
         stage(w, "ACCT.DAI", "new index", sw);
         sw.Remove(w.path("CATGRY.DAF"));
         return said(sw.Commit() == io::Ok);
       },
       true},
  };
}

// What a try left wrong; empty when nothing.
std::string judge(FormWorld& w, const Operation& op, int result, std::size_t shownBefore, const Snapshot& old,
                  const Snapshot& fresh, bool persistent) {
  const Snapshot now = snapshot(w, op.files);
  const std::size_t shown = w.fake.dialogs.dialogs.size() + w.fake.dialogs.boxes.size();
  const bool reported = shown > shownBefore || w.ws.QuitRequested;
  bool allOld = true, allNew = true;
  for (const auto& [name, text] : now) {
    const bool isOld = text == old.at(name), isNew = text == fresh.at(name);
    allOld = allOld && isOld;
    allNew = allNew && isNew;
    if (!isOld && !isNew) return name + " is neither the old nor the new version";
  }
  if (op.wholeSet && !allOld && !allNew) return "the set is part old, part new";
  if (result == kWorked && !allNew) return "the operation says it worked but the files are not the new ones";
  if (result == kSilent && !allNew && !reported) return "the files were not written and nobody was told";
  if (!w.ws.locks.Taken.empty()) return "a lock is still counted as held: " + w.ws.locks.Taken.begin()->first;
  if (!persistent)
    for (const auto& e : std::filesystem::directory_iterator(w.dir.path()))
      if (e.path().extension() == ".LOK") return e.path().filename().string() + " left behind";
  return {};
}

class FaultMatrix : public ::testing::TestWithParam<Fault> {};

TEST_P(FaultMatrix, EveryStepOfEveryWritePathFailsSafely) {
  const Fault fault = GetParam();
  for (const Operation& op : operations()) {
    // The new version: the operation run without a fault.
    Snapshot fresh;
    {
      FormWorld w("ANN");
      op.prepare(w);
      ASSERT_NE(op.run(w), kFailed) << op.name;
      if (op.wholeSet) CompleteFileSetSwitch(w.ws.paths.DataFolder, PosixFileOps());
      fresh = snapshot(w, op.files);
    }
    int step = 1;
    for (;; ++step) {
      ASSERT_LT(step, 400) << op.name << ": no end to the steps";
      FormWorld w("ANN");
      op.prepare(w);
      const Snapshot old = snapshot(w, op.files);
      const std::size_t shownBefore = w.fake.dialogs.dialogs.size() + w.fake.dialogs.boxes.size();
      FaultyFileOps faulty;
      w.ws.files = &faulty;
      // A folder that is gone takes its lock files with it; here it only
      // answers as gone, and the lock file a release could not delete stays.
      w.locksMayRemain = fault.persistent;
      faulty.arm(step, fault.error, fault.kinds, fault.persistent);
      const int result = op.run(w);
      faulty.disarm();
      // The next workstation completes a switch the journal says was made.
      if (op.wholeSet) CompleteFileSetSwitch(w.ws.paths.DataFolder, PosixFileOps());
      const std::string problem = judge(w, op, result, shownBefore, old, fresh, fault.persistent);
      EXPECT_EQ(problem, "") << op.name << ", " << fault.name << " at step " << step << " (" << faulty.failedStep
                             << ")";
      if (faulty.faults == 0) break;
    }
    RecordProperty(std::string(op.name) + " steps", step);
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix, ::testing::ValuesIn(kFaults),
                         [](const auto& info) {
                           std::string n = info.param.name;
                           for (char& c : n)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return n;
                         });

// Where the written design stops the program: a board file that is there
// but cannot be opened is tried again, then the user is told and the
// program ends.
TEST(FaultStops, BoardFileThatCannotBeOpenedEndsTheProgram) {
  FormWorld w("ANN");
  FaultyFileOps faulty;
  w.ws.files = &faulty;
  faulty.arm(1, ENOENT, FaultyFileOps::Any, true);
  w.ws.board.RecordBuffer = changedLocation();
  EXPECT_NE(WriteBoardRecord(w.ws, 2, "FAULT"), io::Ok);
  EXPECT_TRUE(w.ws.QuitRequested);
  EXPECT_NE(w.fake.dialogs.allText().find(w.ws.paths.BoardDataPath), std::string::npos);
  EXPECT_EQ(w.fake.dialogs.beeps, 10);
}

}  // namespace
}  // namespace egresso
