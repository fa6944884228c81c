// The demo data folder of `egresso-cli demo` for the viewer tests, and a
// record of every file in a folder to prove that nothing was written.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <utility>

#include "board/board_list.h"
#include "board/demo.h"
#include "messages/board_files.h"
#include "core/workstation.h"
#include "config/notices_file.h"
#include "text/notices.h"
#include "storage/record_io.h"
#include "support/fake_platform.h"

namespace egresso::test {

// Every file of a folder with its bytes and modification time.
inline std::map<std::string, std::pair<std::string, std::int64_t>> Snapshot(const std::filesystem::path& dir) {
  std::map<std::string, std::pair<std::string, std::int64_t>> all;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir))
    if (e.is_regular_file()) all[e.path().string()] = {readFile(e.path()), fileAgeNs(e.path(), PosixFileOps())};
  return all;
}

// The demo folder, made by a workstation on the fake platform whose clock
// stands at `now`.
struct DemoFolder {
  FakePlatform fake;
  TempDir dir;
  Workstation writer{fake.platform()};
  explicit DemoFolder(const LocalDateTime* now = nullptr) {
    if (now != nullptr) fake.clock.current = *now;
    writer.paths.NoticesPath = std::string(EGRESSO_PROGRAM_DIR) + "/NOTICES.TXT";
    EXPECT_TRUE(LoadNotices(writer));
    std::string error;
    EXPECT_TRUE(CreateDemoFolder(writer, dir.str(), error)) << error;
  }
};

// Signs the employee of slot out to text, back today, through the board's
// own record routines.
inline void SignOutTo(Workstation& w, int slot, const std::string& text) {
  w.ListMode = 1;
  SelectBoardFiles(w);
  ASSERT_EQ(ReadBoardRecord(w, slot, "T"), 0);
  w.board.RecordBuffer.setHeadline(text);
  w.board.RecordBuffer.setReturnDay(w.Today);
  w.board.RecordBuffer.setClosed(0);
  ASSERT_EQ(WriteBoardRecord(w, slot, "T"), 0);
}

// Puts subject and body into message n of the folder as a colleague with a
// text editor could: the bytes as they are, no form between to clean them.
inline void PlantMessage(Workstation& w, int n, const std::string& subject, const std::string& body) {
  w.ListMode = 0;
  SelectBoardFiles(w);
  ASSERT_EQ(ReadBoardRecord(w, n, "T"), 0);
  w.board.RecordBuffer.setHeadline(subject);
  ASSERT_EQ(WriteBoardRecord(w, n, "T"), 0);
  writeFile(BodyFilePath(w, BoardSet::Messages, n), body);
}

}  // namespace egresso::test
