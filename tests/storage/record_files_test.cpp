#include "storage/record_files.h"

#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "storage/bytes.h"
#include "storage/dates.h"
#include "storage/engine_fixture.h"
#include "text/fixed_width.h"

namespace egresso {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;

// Makes a file read-only for the duration of a test. Root ignores file
// modes, so a root test also takes a plain user's identity for file access
// on this thread.
class ReadOnlyFile {
 public:
  explicit ReadOnlyFile(const fs::path& p) : path_(p) {
    fs::permissions(p, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read, fs::perm_options::replace);
    if (geteuid() == 0) {
      previous_ = setfsuid(65534);
      switched_ = true;
    }
  }
  ~ReadOnlyFile() {
    if (switched_) setfsuid(previous_);
    fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
  }

 private:
  fs::path path_;
  int previous_ = 0;
  bool switched_ = false;
};

std::string bytesOf(std::span<const std::uint8_t> b) { return std::string(b.begin(), b.end()); }

// The six bytes a value is stored as.
std::string real48(double v) {
  std::array<std::uint8_t, 6> b{};
  putReal48(b, 0, v);
  return bytesOf(b);
}

class RecordFiles : public test::EngineTest {
 protected:
  std::string sched() const { return ws.paths.SchedDataPath; }

  void fillCalRandom(unsigned seed) {
    std::mt19937 rng(seed);
    for (auto& b : ws.engine.CalRecord) b = static_cast<std::uint8_t>(rng());
  }

  // A set of count records whose record n has key "K<n>".
  void makeSet(int count) {
    for (int n = 0; n < count; ++n) {
      ClearCalRecord(ws);
      putPString(ws.engine.CalRecord, cal::Key, 12, "K" + std::to_string(n));
      putI16(ws.engine.CalRecord, cal::StartDay, static_cast<std::int16_t>(1000 + n));
      WriteCalRecord(ws, sched(), n, "T");
      ASSERT_EQ(ws.engine.LastIoResult, 0);
    }
  }

  std::string record(const std::string& file, std::size_t size, std::size_t n) {
    return readFile(file).substr(n * size, size);
  }
};

// ------------------------------------------------------------- calendar sets

TEST_F(RecordFiles, WritingIntoAMissingSetCreatesItAtRecordZero) {
  ClearCalRecord(ws);
  putPString(ws.engine.CalRecord, cal::Key, 12, "FIRST");
  WriteCalRecord(ws, sched(), 5, "T");
  EXPECT_EQ(ws.engine.LastIoResult, 0);
  EXPECT_EQ(readFile(sched()), bytesOf(ws.engine.CalRecord));
  std::string keys = readFile(path("SCHED.DAE"));
  ASSERT_EQ(keys.size(), kKeyEntrySize);
  EXPECT_EQ(keys.substr(0, 6), std::string("\x05" "FIRST"));
  std::string quick = readFile(path("SCHED.DAQ"));
  ASSERT_EQ(quick.size(), kQuickRecordSize);
  BuildQuickRecord(ws);
  EXPECT_EQ(quick, bytesOf(ws.engine.QuickRecord));
}

TEST_F(RecordFiles, AMissingKeyListGetsEmptyKeysBeforeTheNewKey) {
  makeSet(3);
  fs::remove(path("SCHED.DAE"));
  putPString(ws.engine.CalRecord, cal::Key, 12, "TWO");
  WriteCalRecord(ws, sched(), 2, "T");
  std::string keys = readFile(path("SCHED.DAE"));
  ASSERT_EQ(keys.size(), 3 * kKeyEntrySize);
  EXPECT_EQ(keys.substr(0, 2 * kKeyEntrySize), std::string(2 * kKeyEntrySize, '\0'));
  EXPECT_EQ(keys.substr(2 * kKeyEntrySize, 4), std::string("\x03" "TWO"));
}

TEST_F(RecordFiles, RecordsRoundTripByteForByte) {
  makeSet(3);
  fillCalRandom(7);
  ws.engine.CalRecord[cal::RemoteChanged] = 0;
  auto written = ws.engine.CalRecord;
  WriteCalRecord(ws, sched(), 1, "T");
  ws.engine.CalRecord.fill(0);
  ReadCalRecord(ws, sched(), 1, "T");
  EXPECT_EQ(ws.engine.CalRecord, written);
  EXPECT_EQ(ws.engine.LastCalRecord, 2);
  EXPECT_EQ(record(path("SCHED.DAE"), kKeyEntrySize, 1), bytesOf(std::span(written).subspan(cal::Key, 13)));
  BuildQuickRecord(ws);
  EXPECT_EQ(record(path("SCHED.DAQ"), kQuickRecordSize, 1), bytesOf(ws.engine.QuickRecord));
  // The neighbours are untouched.
  ReadCalRecord(ws, sched(), 2, "T");
  EXPECT_EQ(getPString(ws.engine.CalRecord, cal::Key, 12), "K2");
}

TEST_F(RecordFiles, WritesFromTheAlternativeFolderAreMarked) {
  makeSet(1);
  ws.paths.AltDataFolder = dir.str();
  ClearCalRecord(ws);
  WriteCalRecord(ws, sched(), 1, "T");
  EXPECT_EQ(static_cast<std::uint8_t>(record(sched(), kCalRecordSize, 1)[cal::RemoteChanged]), 1);
  // With the normal folder present the alternative folder is not in use.
  ws.options.NormalDataPresent = true;
  ClearCalRecord(ws);
  WriteCalRecord(ws, sched(), 2, "T");
  EXPECT_EQ(static_cast<std::uint8_t>(record(sched(), kCalRecordSize, 2)[cal::RemoteChanged]), 0);
}

TEST_F(RecordFiles, QuickRecordMapsTheSummaryFields) {
  fillCalRandom(11);
  auto full = ws.engine.CalRecord;
  BuildQuickRecord(ws);
  const auto& q = ws.engine.QuickRecord;
  EXPECT_EQ(q[19], full[23]);
  EXPECT_EQ(q[24], full[28]);
  EXPECT_EQ(bytesOf(std::span(q).subspan(84, 6)), bytesOf(std::span(full).subspan(802, 6)));
  EXPECT_EQ(bytesOf(std::span(q).subspan(92, 6)), bytesOf(std::span(full).subspan(849, 6)));
  EXPECT_EQ(bytesOf(std::span(q).subspan(117, 30)), bytesOf(std::span(full).subspan(874, 30)));
  EXPECT_EQ(bytesOf(std::span(q).subspan(147, 4)), bytesOf(std::span(full).subspan(947, 4)));
  // Expanding into a cleared record restores exactly the summary bytes.
  ws.engine.CalRecord.fill(0);
  ExpandQuickRecord(ws);
  int restored = 0;
  for (std::size_t i = 0; i < kCalRecordSize; ++i) {
    if (ws.engine.CalRecord[i] != 0) {
      EXPECT_EQ(ws.engine.CalRecord[i], full[i]) << i;
      ++restored;
    }
  }
  EXPECT_GT(restored, 100);
  EXPECT_EQ(ws.engine.CalRecord[22], 0);   // between the two single bytes
  EXPECT_EQ(ws.engine.CalRecord[910], 0);  // not part of the summary
}

TEST_F(RecordFiles, ClearedRecordsCarryTheirDefaults) {
  fillCalRandom(3);
  ClearCalRecord(ws);
  const auto& c = ws.engine.CalRecord;
  EXPECT_EQ(c[812], 122);
  EXPECT_EQ(c[855], 1);
  for (int i = 865; i <= 871; ++i) EXPECT_EQ(c[i], 9);
  EXPECT_EQ(c[930], 45);
  EXPECT_EQ(bytesOf(std::span(c).subspan(1015, 9)), "*QVM5214*");
  EXPECT_EQ(c[0] | c[5] | c[792] | c[1014], 0);

  ws.engine.ClientRecord.fill(0xEE);
  ClearClientRecord(ws);
  const auto& r = ws.engine.ClientRecord;
  EXPECT_EQ(getI16(r, 485), 1);
  EXPECT_EQ(r[1007], 1);
  EXPECT_EQ(getPString(r, 1003, 1), "1");
  EXPECT_EQ(getPString(r, 1514, 1), "1");
  EXPECT_EQ(bytesOf(std::span(r).subspan(2039, 9)), "*QVM5214*");
  EXPECT_EQ(r[0] | r[26] | r[2038], 0);
}

TEST_F(RecordFiles, ReadingPastTheEndLeavesTheBuffer) {
  makeSet(3);
  ws.engine.CalRecord.fill(0xAB);
  auto before = ws.engine.CalRecord;
  ReadCalRecord(ws, sched(), 7, "T");
  EXPECT_EQ(ws.engine.CalRecord, before);
  EXPECT_EQ(ws.engine.LastCalRecord, 2);
  EXPECT_EQ(ws.engine.LastIoResult, 0);
  ReadCalRecord(ws, sched(), -1, "T");
  EXPECT_EQ(ws.engine.CalRecord, before);
}

TEST_F(RecordFiles, ReadingAMissingFileReportsAndKeepsTheBuffer) {
  ws.engine.CalRecord.fill(0x11);
  auto before = ws.engine.CalRecord;
  ReadCalRecord(ws, sched(), 0, "MISS");
  EXPECT_EQ(ws.engine.CalRecord, before);
  EXPECT_EQ(ws.engine.LastCalRecord, -1);
  EXPECT_EQ(ws.engine.LastIoResult, io::FileNotFound);
  EXPECT_EQ(ws.engine.LastIoTag, "RCR-MISS -1,0    QR=0");
  EXPECT_FALSE(fs::exists(sched()));
}

TEST_F(RecordFiles, APartialRecordAtTheEndIsNeitherCountedNorOverwritten) {
  makeSet(3);
  std::string tail(100, 'Z');
  {
    std::string content = readFile(sched()) + tail;
    writeFile(sched(), content);
  }
  std::string before = readFile(sched());
  ws.engine.CalRecord.fill(0x42);
  auto buffer = ws.engine.CalRecord;
  ReadCalRecord(ws, sched(), 3, "T");
  EXPECT_EQ(ws.engine.LastCalRecord, 2);
  EXPECT_EQ(ws.engine.CalRecord, buffer);

  // Appending would cover the damaged tail: refused and reported, nothing changes.
  std::string keysBefore = readFile(path("SCHED.DAE"));
  WriteCalRecord(ws, sched(), 3, "APP");
  EXPECT_EQ(ws.engine.LastIoResult, io::DiskWriteError);
  EXPECT_EQ(ws.engine.LastIoTag, "WCR-APP (3)");
  EXPECT_NE(fp.dialogs.allText().find("Write error (WCR-APP (3))\""), std::string::npos) << fp.dialogs.allText();
  EXPECT_NE(trace().find("ERR[101] LOC[WCR-APP (3)]"), std::string::npos);
  EXPECT_EQ(readFile(sched()), before);
  EXPECT_EQ(readFile(path("SCHED.DAE")), keysBefore);
  WriteCalRecord(ws, sched(), 9, "APP");
  EXPECT_EQ(readFile(sched()), before);

  // Whole records before the tail are still written normally.
  WriteCalRecord(ws, sched(), 1, "MID");
  EXPECT_EQ(ws.engine.LastIoResult, 0);
  std::string after = readFile(sched());
  EXPECT_EQ(after.size(), before.size());
  EXPECT_EQ(after.substr(kCalRecordSize, kCalRecordSize), bytesOf(ws.engine.CalRecord));
  EXPECT_EQ(after.substr(3 * kCalRecordSize), tail);
}

TEST_F(RecordFiles, ATruncatedIndexReadsEmptyAndIsNotOverwritten) {
  std::string damaged(5000, '\x07');
  writeFile(path("SCHED.DAI"), damaged);
  ws.engine.CalIndexPage.fill(0x55);
  ReadCalIndexPage(ws, path("SCHED.DAI"), 0, "T");
  EXPECT_EQ(ws.engine.CalIndexPage, decltype(ws.engine.CalIndexPage){});
  EXPECT_EQ(ws.engine.LastIoResult, io::DiskReadError);
  WriteCalIndexPage(ws, path("SCHED.DAI"), 0, "T");
  EXPECT_EQ(ws.engine.LastIoResult, io::DiskWriteError);
  EXPECT_EQ(readFile(path("SCHED.DAI")), damaged);
}

TEST_F(RecordFiles, MissingIndexPagesReadEmptyWithoutAMessage) {
  ws.engine.CalIndexPage.fill(0x55);
  ReadCalIndexPage(ws, path("SCHED.DAI"), 0, "T");
  EXPECT_EQ(ws.engine.CalIndexPage, decltype(ws.engine.CalIndexPage){});
  EXPECT_EQ(ws.engine.LastIoResult, 0);
  EXPECT_FALSE(fs::exists(path("SCHED.DAI")));
  ClearCalIndexPage(ws);
  WriteCalIndexPage(ws, path("SCHED.DAI"), 0, "T");
  ws.engine.CalIndexPage.fill(0x55);
  ReadCalIndexPage(ws, path("SCHED.DAI"), 3, "T");
  EXPECT_EQ(ws.engine.CalIndexPage, decltype(ws.engine.CalIndexPage){});
  EXPECT_EQ(ws.engine.LastIoResult, 0);
}

// --------------------------------------------------------------- day index

TEST(DayIndex, PageAndEntryOfARecord) {
  EXPECT_EQ(IndexPageOf(1), 0);
  EXPECT_EQ(IndexEntryOf(1), 1);
  EXPECT_EQ(IndexPageOf(4096), 0);
  EXPECT_EQ(IndexEntryOf(4096), 4096);
  EXPECT_EQ(IndexPageOf(4097), 1);
  EXPECT_EQ(IndexEntryOf(4097), 1);
  EXPECT_EQ(IndexPageOf(0), -1);  // the header has no entry
  EXPECT_EQ(IndexEntryOf(0), 0);
  // The page formula of the file format: (4n - 1) div 16384.
  for (int n = 1; n < 300000; n += 97) EXPECT_EQ(IndexPageOf(n), (4 * n - 1) / 16384) << n;
  EXPECT_EQ(IndexPageCount(1), 1);
  EXPECT_EQ(IndexPageCount(4097), 1);
  EXPECT_EQ(IndexPageCount(4098), 2);
}

TEST_F(RecordFiles, IndexEntriesFollowTheRecord) {
  ClearCalRecord(ws);
  putI16(ws.engine.CalRecord, cal::StartDay, 5000);
  putI16(ws.engine.CalRecord, cal::EndDay, 5300);
  putI16(ws.engine.CalRecord, cal::WarnDay, 4700);
  SetIndexEntry(ws, 4096);
  EXPECT_EQ(EntryDay(ws, 4096), 5000);
  EXPECT_EQ(EntrySpan(ws, 4096), 255);
  EXPECT_EQ(EntryLead(ws, 4096), 300 % 256);

  ws.engine.CalRecord[cal::Repeats] = 1;
  putI16(ws.engine.CalRecord, cal::EndDay, 5010);
  putI16(ws.engine.CalRecord, cal::WarnDay, 0);
  SetIndexEntry(ws, 1);
  EXPECT_EQ(EntryDay(ws, 1), -5000);
  EXPECT_EQ(EntrySpan(ws, 1), 10);
  EXPECT_EQ(EntryLead(ws, 1), 0);

  putI16(ws.engine.CalRecord, cal::EndDay, 4000);  // ends before it starts
  SetIndexEntry(ws, 2);
  EXPECT_EQ(EntrySpan(ws, 2), 0);
  ClearIndexEntry(ws, 1);
  EXPECT_EQ(EntryDay(ws, 1), 0);
  EXPECT_EQ(EntryDay(ws, 0), 0);
  EXPECT_EQ(EntryDay(ws, 4097), 0);
  SetIndexEntry(ws, 5000);  // ignored, not a crash
}

TEST_F(RecordFiles, Record4097LivesInTheSecondPage) {
  std::string index = path("SCHED.DAI");
  ClearCalIndexPage(ws);
  ClearCalRecord(ws);
  putI16(ws.engine.CalRecord, cal::StartDay, 6000);
  SetIndexEntry(ws, IndexEntryOf(4097));
  WriteCalIndexPage(ws, index, IndexPageOf(4097), "T");
  EXPECT_EQ(ws.engine.LastIoResult, 0);
  EXPECT_EQ(fs::file_size(index), 2 * kCalIndexPageSize);
  ReadCalIndexPage(ws, index, 0, "T");
  EXPECT_EQ(EntryDay(ws, 1), 0);
  ReadCalIndexPage(ws, index, 1, "T");
  EXPECT_EQ(EntryDay(ws, 1), 6000);
  EXPECT_EQ(getI16(ws.engine.CalIndexPage, 0), 6000);
}

// ---------------------------------------------------------- opening the sets

TEST_F(RecordFiles, OpenCalFilesCreatesAMissingSet) {
  ws.Today = 4321;
  OpenCalFiles(ws, path("SCHED"));
  EXPECT_FALSE(ws.QuitRequested);
  ReadCalRecord(ws, sched(), 0, "T");
  EXPECT_EQ(getI16(ws.engine.CalRecord, cal::StartDay), 4321);
  EXPECT_EQ(bytesOf(std::span(ws.engine.CalRecord).subspan(1015, 9)), "*QVM5214*");
  EXPECT_EQ(readFile(path("SCHED.DAI")), std::string(kCalIndexPageSize, '\0'));
  EXPECT_TRUE(fs::exists(path("SCHED.DAE")));
  EXPECT_TRUE(fs::exists(path("SCHED.DAQ")));
  EXPECT_TRUE(fp.dialogs.dialogs.empty());
  std::string lines = trace();
  EXPECT_NE(lines.find("OpenCal-F2 \"" + sched() + "   "), std::string::npos) << lines;
  EXPECT_NE(lines.find("OpenCal-I2 \"" + path("SCHED.DAI") + "   "), std::string::npos) << lines;

  // An existing set is left as it is; page 0 of the schedule index is loaded.
  ClearCalIndexPage(ws);
  putI16(ws.engine.CalIndexPage, 0, 1234);
  WriteCalIndexPage(ws, ws.paths.SchedIndexPath, 0, "T");
  std::string data = readFile(sched());
  ClearCalIndexPage(ws);
  OpenCalFiles(ws, path("SCHED"));
  EXPECT_EQ(readFile(sched()), data);
  EXPECT_EQ(EntryDay(ws, 1), 1234);
}

TEST_F(RecordFiles, SelectCalFilesBindsTheLogSetWithoutCreatingIt) {
  ws.engine.LogMode = true;
  SetLogFileNames(ws, DayNumber(1997, 1, 15));
  EXPECT_TRUE(SelectCalFiles(ws));
  EXPECT_EQ(ws.engine.CalDataName, path("JAN97LOG.DAF"));
  EXPECT_EQ(ws.engine.CalQuickName, path("JAN97LOG.DAQ"));
  EXPECT_EQ(ws.engine.CalKeyName, path("JAN97LOG.DAE"));
  EXPECT_FALSE(fs::exists(path("JAN97LOG.DAF")));
  EXPECT_FALSE(fs::exists(path("JAN97LOG.DAI")));
  ws.engine.LogMode = false;
  SelectCalFiles(ws);
  EXPECT_EQ(ws.engine.CalDataName, sched());
  EXPECT_EQ(ws.engine.CalQuickName, path("SCHED.DAQ"));
}

TEST_F(RecordFiles, LogSetNamesAcrossTheCentury) {
  SetLogFileNames(ws, DayNumber(1999, 12, 15));
  EXPECT_EQ(ws.paths.LogDataPath, path("DEC99LOG.DAF"));
  EXPECT_EQ(ws.paths.LogIndexPath, path("DEC99LOG.DAI"));
  SetLogFileNames(ws, DayNumber(2000, 1, 1));
  EXPECT_EQ(ws.paths.LogDataPath, path("JAN00LOG.DAF"));
  EXPECT_EQ(ws.paths.LogIndexPath, path("JAN00LOG.DAI"));
  // Month texts in mixed case name the same file.
  ws.notices.lines[184 - 1] = "January";
  SetLogFileNames(ws, DayNumber(2005, 1, 31));
  EXPECT_EQ(ws.paths.LogDataPath, path("JAN05LOG.DAF"));
}

TEST_F(RecordFiles, CatalogueOfRecordFiles) {
  ws.paths.LogDataPath = path("JAN97LOG.DAF");
  ws.mcfg.setEmpInitials(1, "ABC");
  EXPECT_EQ(FileNameFor(ws, 0), path("CFGMAIN.DAF"));
  EXPECT_EQ(FileNameFor(ws, 1), sched());
  EXPECT_EQ(FileNameFor(ws, 2), path("JAN97LOG.DAF"));
  EXPECT_EQ(FileNameFor(ws, 3), path("PROJ.DAF"));
  EXPECT_EQ(FileNameFor(ws, 4), path("PHONBOOK.DAF"));
  EXPECT_EQ(FileNameFor(ws, 8), path("MESSARC.DAF"));
  EXPECT_EQ(FileNameFor(ws, 11), path("MEMO.DAF"));
  EXPECT_EQ(FileNameFor(ws, 12), path("MEMOABC.DAF"));
  EXPECT_EQ(ws.paths.CurrentFileName, path("MEMOABC.DAF"));
  EXPECT_EQ(FileNameFor(ws, 13), "@.@");
  EXPECT_EQ(ws.paths.CurrentFileName, "@.@");
  EXPECT_EQ(FileNameFor(ws, 62), "@.@");
  EXPECT_EQ(FileNameFor(ws, -1), "@.@");
}

// ------------------------------------------------------------- bad folders

TEST_F(RecordFiles, AMissingDataFolderIsReportedNotCreated) {
  setDataFolder(dir.str() + "/gone");
  ClearCalRecord(ws);
  WriteCalRecord(ws, ws.paths.SchedDataPath, 1, "T");
  EXPECT_NE(ws.engine.LastIoResult, 0);
  OpenCalFiles(ws, dir.str() + "/gone/SCHED");
  ReadCalIndexPage(ws, ws.paths.SchedIndexPath, 0, "T");
  ReadClientRecord(ws, 1, "T");
  EXPECT_NE(ws.engine.LastIoResult, 0);
  WriteClientRecord(ws, 1, "T");
  EXPECT_NE(ws.engine.LastIoResult, 0);
  LoadClientList(ws);
  EXPECT_TRUE(ws.engine.ClientList.empty());
  EXPECT_FALSE(fs::exists(dir.str() + "/gone"));
  EXPECT_FALSE(ws.QuitRequested);

  EXPECT_TRUE(CheckDataFolder(ws));  // single-user mode does not check
  fp.dialogs.dialogs.clear();
  fp.dialogs.beeps = 0;
  ws.MultiUser = true;
  EXPECT_FALSE(CheckDataFolder(ws));
  EXPECT_EQ(fp.dialogs.beeps, 1);
  ASSERT_EQ(fp.dialogs.dialogs.size(), 1u);
  EXPECT_EQ(fp.dialogs.dialogs[0].message, "The data folder " + dir.str() + "/gone cannot be reached.");
  EXPECT_EQ(fp.dialogs.dialogs[0].button3, "OK");
  setDataFolder(dir.str());
  writeFile(ws.paths.MainConfigPath, std::string(6144, '\0'));
  EXPECT_TRUE(CheckDataFolder(ws));
}

TEST_F(RecordFiles, AReadOnlyDataFileGetsTenRetriesThenTheFailureDialog) {
  makeSet(2);
  std::string before = readFile(sched());
  fp.dialogs.beeps = 0;
  {
    ReadOnlyFile guard(sched());
    // Reading does not need write access.
    ReadCalRecord(ws, sched(), 1, "T");
    EXPECT_EQ(ws.engine.LastIoResult, 0);
    EXPECT_EQ(getPString(ws.engine.CalRecord, cal::Key, 12), "K1");

    WriteCalRecord(ws, sched(), 1, "T");
  }
  EXPECT_TRUE(ws.QuitRequested);
  EXPECT_EQ(fp.events.slept, 10 * 1000);
  EXPECT_EQ(fp.clock.mono, 10 * 1000);
  EXPECT_EQ(fp.dialogs.beeps, 11);
  ASSERT_EQ(fp.dialogs.dialogs.size(), 1u);
  const DialogRequest& d = fp.dialogs.dialogs[0];
  EXPECT_EQ(d.message.rfind("File failure: \"" + sched() + "\" is in use (", 0), 0u) << d.message;
  EXPECT_TRUE(d.message.ends_with(" The program ends.")) << d.message;
  EXPECT_EQ(d.button1, "");
  EXPECT_EQ(d.button2, "");
  EXPECT_EQ(d.button3, "OK");
  EXPECT_EQ(d.defaultButton, 3);
  EXPECT_EQ(readFile(sched()), before);
}

TEST_F(RecordFiles, AReadOnlySetAtStartAsksUntilTheUserQuits) {
  makeSet(1);
  fp.dialogs.answers = {1, 2};
  // The trace file must stay writable for the plain user the guard switches to.
  writeFile(dir / "TEST", "");
  fs::permissions(dir / "TEST", fs::perms::all, fs::perm_options::replace);
  {
    ReadOnlyFile guard(sched());
    OpenCalFiles(ws, path("SCHED"));
  }
  EXPECT_TRUE(ws.QuitRequested);
  ASSERT_EQ(fp.dialogs.dialogs.size(), 2u);
  EXPECT_EQ(fp.dialogs.dialogs[1].message, "Cannot read " + sched() + ". Restore?");
  EXPECT_EQ(fp.dialogs.dialogs[1].button1, "Yes");
  EXPECT_EQ(fp.dialogs.dialogs[1].button2, "No");
  EXPECT_EQ(fp.dialogs.dialogs[1].defaultButton, 1);
  EXPECT_EQ(fp.dialogs.beeps, 2);
  // The refusals are traced whatever the trace setting.
  std::string lines = trace();
  EXPECT_NE(lines.find("OpenCal-F \"" + sched() + "   "), std::string::npos) << lines;
  EXPECT_EQ(lines.find("OpenCal-F2"), std::string::npos);
}

TEST_F(RecordFiles, AnIndexThatCannotBeOpenedIsNeverRecreated) {
  makeSet(1);
  ClearCalIndexPage(ws);
  putI16(ws.engine.CalIndexPage, 0, 77);
  WriteCalIndexPage(ws, ws.paths.SchedIndexPath, 0, "T");
  std::string before = readFile(ws.paths.SchedIndexPath);
  ClearCalIndexPage(ws);
  {
    ReadOnlyFile guard(ws.paths.SchedIndexPath);
    WriteCalIndexPage(ws, ws.paths.SchedIndexPath, 0, "T");
    EXPECT_EQ(ws.engine.LastIoResult, io::AccessDenied);
  }
  EXPECT_EQ(readFile(ws.paths.SchedIndexPath), before);
}

// ----------------------------------------------------------------- scanning

TEST_F(RecordFiles, AScanKeepsTheFilesOpenAcrossReadsAndIndexWrites) {
  makeSet(4);
  ClearCalIndexPage(ws);
  WriteCalIndexPage(ws, ws.paths.SchedIndexPath, 0, "T");
  ASSERT_EQ(BeginCalScan(ws, sched(), ws.paths.SchedIndexPath), 0);
  ReadCalIndexPage(ws, "ignored while scanning", 0, "T");
  EXPECT_EQ(ws.engine.LastIoResult, 0);
  for (int n = 1; n < 4; ++n) {
    ReadCalRecord(ws, "ignored while scanning", n, "T");
    EXPECT_EQ(getPString(ws.engine.CalRecord, cal::Key, 12), "K" + std::to_string(n));
    SetIndexEntry(ws, n);
  }
  EXPECT_TRUE(ws.engine.CalDataFile.isOpen());
  WriteCalIndexPage(ws, ws.paths.SchedIndexPath, 0, "T");
  EXPECT_TRUE(ws.engine.CalIndexFile.isOpen());
  ClearCalIndexPage(ws);
  ReadCalIndexPage(ws, "ignored while scanning", 0, "T");
  EXPECT_EQ(EntryDay(ws, 3), 1003);
  EndCalScan(ws);
  EXPECT_FALSE(ws.engine.KeepCalOpen);
  EXPECT_FALSE(ws.engine.CalDataFile.isOpen());
  ReadCalRecord(ws, "ignored while scanning", 1, "T");
  EXPECT_EQ(ws.engine.LastIoResult, io::FileNotFound);
}

// -------------------------------------------------------------- client sets

class ClientFiles : public RecordFiles {
 protected:
  void makeClient(const std::string& key, const std::string& name, std::uint8_t flag1, std::uint8_t flag2,
                  std::uint8_t deleted) {
    ClearClientRecord(ws);
    auto& r = ws.engine.ClientRecord;
    putPString(r, client::Key, 12, key);
    putPString(r, client::MainName, 40, name);
    r[client::Flag1] = flag1;
    r[client::Flag2] = flag2;
    r[client::Deleted] = deleted;
  }
  void addClient(std::int32_t n, const std::string& key, const std::string& name, std::uint8_t flag2 = 0,
                 std::uint8_t deleted = 0) {
    makeClient(key, name, 0, flag2, deleted);
    WriteClientRecord(ws, n, "T");
  }
};

TEST_F(ClientFiles, WritingBuildsTheIndexAndNameEntries) {
  OpenClientFiles(ws, 0);
  addClient(0, "HEAD", "");
  makeClient("ACME", "Acme", 1, 1, 0);
  putPString(ws.engine.ClientRecord, client::SecondName, 40, "r\xE9sum\xE9s");
  ws.engine.ClientRecord[client::IndexByte] = 0x5A;
  WriteClientRecord(ws, 1, "T");
  EXPECT_EQ(ws.engine.LastIoResult, 0);
  std::string index = record(path("PROJ.DAI"), kClientIndexEntrySize, 1);
  EXPECT_EQ(index.substr(0, 5), std::string("\x04" "ACME"));
  EXPECT_EQ(static_cast<std::uint8_t>(index[13]), 0x5A);
  EXPECT_EQ(static_cast<std::uint8_t>(index[14]), 3);
  std::string name = record(path("PROJ.DAE"), kClientNameEntrySize, 1);
  EXPECT_EQ(getPString(ws.engine.ClientNameEntry, 0, 30), "ACME, R\xC9SUM\xC9S");
  EXPECT_EQ(name, bytesOf(ws.engine.ClientNameEntry));
  EXPECT_EQ(fs::file_size(path("PROJ.DAF")), 2 * kClientRecordSize);

  ReadClientRecord(ws, -1, "T");
  EXPECT_EQ(getPString(ws.engine.ClientRecord, client::Key, 12), "ACME");
  ReadClientRecord(ws, 0, "T");
  EXPECT_EQ(getPString(ws.engine.ClientRecord, client::Key, 12), "HEAD");
}

TEST_F(ClientFiles, DisplayNameRules) {
  makeClient("K", "Main", 0, 0, 0);
  putPString(ws.engine.ClientRecord, client::DisplayName, 30, "Shown name");
  putPString(ws.engine.ClientRecord, client::SecondName, 40, "Second");
  BuildClientNameEntry(ws);
  EXPECT_EQ(getPString(ws.engine.ClientNameEntry, 0, 30), "SHOWN NAME");
  ws.options.NoDisplayNames = true;
  BuildClientNameEntry(ws);
  EXPECT_EQ(getPString(ws.engine.ClientNameEntry, 0, 30), "MAIN, SECOND");
  ws.options.NoDisplayNames = false;
  ws.engine.ClientKind = 1;  // the phone book has no explicit display names
  BuildClientNameEntry(ws);
  EXPECT_EQ(getPString(ws.engine.ClientNameEntry, 0, 30), "MAIN, SECOND");
  putPString(ws.engine.ClientRecord, client::SecondName, 40, "");
  putPString(ws.engine.ClientRecord, client::MainName, 40, std::string(40, 'x'));
  BuildClientNameEntry(ws);
  EXPECT_EQ(getPString(ws.engine.ClientNameEntry, 0, 30), std::string(30, 'X'));
}

TEST_F(ClientFiles, TheNameListIsNeverExtendedWithGaps) {
  OpenClientFiles(ws, 2);
  addClient(0, "HEAD", "");
  std::string names = path("PAYEE.DAE");
  EXPECT_EQ(fs::file_size(names), kClientNameEntrySize);
  addClient(3, "THREE", "Three");
  EXPECT_EQ(ws.engine.LastIoResult, 0);
  EXPECT_EQ(fs::file_size(names), kClientNameEntrySize);
  EXPECT_EQ(fs::file_size(path("PAYEE.DAI")), 4 * kClientIndexEntrySize);
  addClient(1, "ONE", "One");
  EXPECT_EQ(fs::file_size(names), 2 * kClientNameEntrySize);
}

TEST_F(ClientFiles, MoneyIsNormalisedToWholeCents) {
  ClearClientRecord(ws);
  auto& r = ws.engine.ClientRecord;
  putReal48(r, client::Amount, 12.345);
  putReal48(r, client::MonthAmounts2, -7.996);
  putReal48(r, client::MonthAmounts2 + 6, 0.004);
  putReal48(r, client::MonthAmounts2 + 66, 1.2399999);
  putReal48(r, client::MonthAmounts2 + 12, 19.99);
  std::string exactBefore = bytesOf(std::span(r).subspan(client::MonthAmounts2 + 12, 6));
  // Monthly amounts lie beyond the limit day when it is later than their day.
  putI16(r, client::AmountLimitDay, 10);
  for (std::size_t k = 0; k < 12; ++k) {
    putReal48(r, client::MonthAmounts + 6 * k, 100.0 + static_cast<double>(k));
    putI16(r, client::MonthDays + 2 * k, k == 0 ? 5 : k == 1 ? 10 : 20);
  }
  NormalizeClientMoney(ws);
  EXPECT_EQ(bytesOf(std::span(r).subspan(client::Amount, 6)), real48(12.34));
  EXPECT_EQ(bytesOf(std::span(r).subspan(client::MonthAmounts2, 6)), real48(-7.99));
  EXPECT_EQ(bytesOf(std::span(r).subspan(client::MonthAmounts2 + 6, 6)), std::string(6, '\0'));
  EXPECT_EQ(bytesOf(std::span(r).subspan(client::MonthAmounts2 + 66, 6)), real48(1.24));
  EXPECT_EQ(bytesOf(std::span(r).subspan(client::MonthAmounts2 + 12, 6)), exactBefore);
  EXPECT_EQ(bytesOf(std::span(r).subspan(client::MonthAmounts, 6)), std::string(6, '\0'));
  EXPECT_EQ(getReal48(r, client::MonthAmounts + 6), 101.0);
  EXPECT_EQ(getReal48(r, client::MonthAmounts + 66), 111.0);

  // Every write normalises.
  OpenClientFiles(ws, 0);
  putReal48(r, client::Amount, 3.14159);
  WriteClientRecord(ws, 0, "T");
  r.fill(0);
  ReadClientRecord(ws, 0, "T");
  EXPECT_EQ(bytesOf(std::span(r).subspan(client::Amount, 6)), real48(3.14));
}

TEST_F(ClientFiles, TheClientListSkipsTheHeaderAndDeletedClients) {
  OpenClientFiles(ws, 0);
  addClient(0, "HEAD", "Header");
  addClient(1, "ALPHA", "Alpha");
  addClient(2, "GONE", "Gone", 0, 1);
  addClient(3, "FLAG", "Flagged", 1);

  LoadClientList(ws);
  ASSERT_EQ(ws.engine.ClientList.size(), 2u);
  EXPECT_EQ(ws.engine.ClientList[0], PadText("ALPHA", 30) + " | ALPHA ");
  EXPECT_EQ(ws.engine.ClientListRecords, (std::vector<std::int32_t>{1, 3}));
  ws.options.MarkFlaggedClients = true;
  ws.options.NoDisplayNames = true;
  LoadClientList(ws);
  EXPECT_EQ(ws.engine.ClientList, (std::vector<std::string>{"ALPHA ", std::string("FLAG") + kFlaggedClientMark}));
}

TEST_F(ClientFiles, DamagedClientFilesAreReadAsFarAsTheyAreWhole) {
  OpenClientFiles(ws, 0);
  addClient(0, "HEAD", "");
  addClient(1, "ONE", "One");
  writeFile(path("PROJ.DAI"), readFile(path("PROJ.DAI")) + "1234567");
  writeFile(path("PROJ.DAF"), readFile(path("PROJ.DAF")) + std::string(700, 'Q'));
  LoadClientList(ws);
  EXPECT_EQ(ws.engine.ClientList.size(), 1u);
  ws.engine.ClientRecord.fill(0x33);
  auto before = ws.engine.ClientRecord;
  ReadClientRecord(ws, 2, "R");
  EXPECT_EQ(ws.engine.ClientRecord, before);
  EXPECT_EQ(ws.engine.LastIoResult, io::DiskReadError);
  EXPECT_EQ(ws.engine.LastIoTag, "RClR-R (2:1)");
  ReadClientRecord(ws, -1, "R");
  EXPECT_EQ(getPString(ws.engine.ClientRecord, client::Key, 12), "ONE");
  // An append would cover the damaged tail: refused.
  std::string data = readFile(path("PROJ.DAF"));
  WriteClientRecord(ws, 2, "T");
  EXPECT_EQ(ws.engine.LastIoResult, io::DiskWriteError);
  EXPECT_EQ(readFile(path("PROJ.DAF")), data);
}

TEST_F(ClientFiles, AReadOnlyClientFileGetsTheRetriesToo) {
  OpenClientFiles(ws, 1);
  addClient(0, "HEAD", "");
  std::string before = readFile(path("PHONBOOK.DAF"));
  {
    ReadOnlyFile guard(path("PHONBOOK.DAF"));
    WriteClientRecord(ws, 0, "T");
  }
  EXPECT_TRUE(ws.QuitRequested);
  EXPECT_EQ(fp.events.slept, 10 * 1000);
  ASSERT_EQ(fp.dialogs.dialogs.size(), 1u);
  EXPECT_NE(fp.dialogs.dialogs[0].message.find(path("PHONBOOK.DAF")), std::string::npos);
  EXPECT_EQ(readFile(path("PHONBOOK.DAF")), before);
}

}  // namespace
}  // namespace egresso
