#include "storage/record_io.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <cstdio>
#include <filesystem>

#include "support/fake_platform.h"

namespace egresso {
namespace {

using test::readFile;
using test::writeFile;

class RecordIo : public ::testing::Test {
 protected:
  std::string path(const std::string& name) const { return dir.str() + "/" + name; }
  test::TempDir dir;
};

TEST_F(RecordIo, OnlyWholeRecordsCountAndAreRead) {
  writeFile(path("A.DAF"), std::string(10, 'a') + std::string(4, 'b'));
  RecordFile f;
  ASSERT_EQ(f.open(path("A.DAF"), 5, RecordFile::Mode::ReadWrite, PosixFileOps()), io::Ok);
  EXPECT_EQ(f.byteSize(), 14);
  EXPECT_EQ(f.recordCount(), 2);
  std::array<std::uint8_t, 5> buf{};
  EXPECT_EQ(f.read(1, buf), io::Ok);
  EXPECT_EQ(f.read(2, buf), io::DiskReadError);
  EXPECT_EQ(f.read(-1, buf), io::DiskReadError);
  EXPECT_EQ(f.write(-1, buf), io::DiskWriteError);
}

TEST_F(RecordIo, OpeningNeverCreatesAndCreatingNewNeverTruncates) {
  RecordFile f;
  EXPECT_EQ(f.open(path("NONE.DAF"), 5, RecordFile::Mode::ReadWrite, PosixFileOps()), io::FileNotFound);
  EXPECT_FALSE(f.isOpen());
  EXPECT_FALSE(fileExists(path("NONE.DAF")));
  writeFile(path("B.DAF"), "keep me");
  EXPECT_EQ(f.open(path("B.DAF"), 5, RecordFile::Mode::CreateNew, PosixFileOps()), io::AlreadyExists);
  EXPECT_EQ(readFile(path("B.DAF")), "keep me");
  EXPECT_EQ(f.open(path("NEW.DAF"), 5, RecordFile::Mode::CreateNew, PosixFileOps()), io::Ok);
  EXPECT_EQ(f.recordCount(), 0);
}

// A file put under the same name meanwhile (a restore, a rebuilt file) does
// not change what an open handle counts: reads stay within its own file.
TEST_F(RecordIo, TheCountIsThatOfTheOpenFile) {
  writeFile(path("C.DAF"), std::string(15, 'c'));
  RecordFile f;
  ASSERT_EQ(f.open(path("C.DAF"), 5, RecordFile::Mode::ReadWrite, PosixFileOps()), io::Ok);
  writeFile(path("C.NEW"), std::string(50, 'n'));
  ASSERT_EQ(std::rename(path("C.NEW").c_str(), path("C.DAF").c_str()), 0);
  EXPECT_EQ(f.recordCount(), 3);
  std::array<std::uint8_t, 5> buf{};
  EXPECT_EQ(f.read(2, buf), io::Ok);
  EXPECT_EQ(buf[0], 'c');
}

TEST_F(RecordIo, FileHelpersReportResults) {
  EXPECT_EQ(deleteFile(path("GONE.DAF"), PosixFileOps()), io::FileNotFound);
  EXPECT_NE(copyFile(path("GONE.DAF"), path("X.DAF"), PosixFileOps()), io::Ok);
  writeFile(path("D.DAF"), "one");
  writeFile(path("E.DAF"), "two, longer");
  EXPECT_EQ(copyFile(path("D.DAF"), path("E.DAF"), PosixFileOps()), io::Ok);
  EXPECT_EQ(readFile(path("E.DAF")), "one");
  EXPECT_EQ(createFolder(path("SUB"), PosixFileOps()), io::Ok);
  EXPECT_EQ(createFolder(path("SUB"), PosixFileOps()), io::Ok);
  EXPECT_NE(createFolder(path("NO/SUB"), PosixFileOps()), io::Ok);
  EXPECT_EQ(fileAgeNs(path("GONE.DAF"), PosixFileOps()), 0);
  // Nanoseconds since 1 January 1970, as the clock of the workstation counts.
  struct timespec times[2] = {{1'000'000'000, 5}, {1'000'000'000, 5}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path("D.DAF").c_str(), times, 0), 0);
  EXPECT_EQ(fileAgeNs(path("D.DAF"), PosixFileOps()), 1'000'000'000'000'000'005);
}

}  // namespace
}  // namespace egresso
