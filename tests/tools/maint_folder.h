// A data folder for the file-maintenance tests, written in bulk: messages
// whose subject and body name their number, some of them deleted, a backup
// generation that differs from the live files, and the checks that the
// folder holds one whole set of files.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "config/records.h"
#include "messages/board_record.h"
#include "storage/record_io.h"
#include "support/fake_platform.h"

namespace egresso::test {

inline std::string Slurp(const std::filesystem::path& p) { return std::filesystem::exists(p) ? readFile(p) : "<none>"; }

inline void WriteRecords(const std::filesystem::path& p, const std::vector<BulBrdRcrd>& recs, bool locations) {
  std::string data, index;
  for (const auto& r : recs) {
    data.append(reinterpret_cast<const char*>(r.bytes.data()), r.bytes.size());
    std::uint8_t b[3];
    BoardIndexEntry{locations ? r.returnDay() : r.madeDay(), r.closed()}.encode(Bytes(b, 3));
    index.append(reinterpret_cast<const char*>(b), 3);
  }
  writeFile(p.string() + ".DAF", data);
  writeFile(p.string() + ".DAI", index);
}

// Messages 0..count-1, "m<k>" with body "body <k>"; every k with
// k % deletedEvery == 0 is deleted.
inline void WriteMessages(const std::filesystem::path& dir, int count, int deletedEvery, const std::string& tag = "m") {
  std::vector<BulBrdRcrd> recs(static_cast<std::size_t>(count));
  for (int k = 0; k < count; ++k) {
    BulBrdRcrd& r = recs[static_cast<std::size_t>(k)];
    r.setWho("ANN");
    r.setHeadline(tag + std::to_string(k));
    r.setMadeDay(static_cast<std::int16_t>(15000 + k % 300));
    r.setClosed(deletedEvery > 0 && k % deletedEvery == 0 ? 1 : 0);
    writeFile(dir / "BULLETIN" / (std::to_string(k) + ".DA0"), "body " + tag + std::to_string(k));
  }
  WriteRecords(dir / "MESSAGE", recs, false);
}

inline std::vector<BulBrdRcrd> ReadRecords(const std::filesystem::path& p) {
  std::vector<BulBrdRcrd> out;
  RecordFile f;
  if (f.open(p, brd::Size, RecordFile::Mode::ReadOnly, PosixFileOps()) != io::Ok) return out;
  out.resize(static_cast<std::size_t>(f.recordCount()));
  for (std::size_t i = 0; i < out.size(); ++i) f.read(static_cast<std::int64_t>(i), out[i].bytes);
  return out;
}

// "" when the message files are the whole old set (all count messages) or
// the whole purged one; otherwise what is wrong.
inline std::string CheckMessageSet(const std::filesystem::path& dir, int count, int deletedEvery) {
  const auto recs = ReadRecords(dir / "MESSAGE.DAF");
  std::error_code ec;
  if (std::filesystem::file_size(dir / "MESSAGE.DAI", ec) != recs.size() * 3) return "index and data differ in length";
  std::vector<int> expected;
  for (int k = 0; k < count; ++k)
    if (recs.size() == static_cast<std::size_t>(count) || k % deletedEvery != 0) expected.push_back(k);
  if (recs.size() != expected.size()) return "a record count of neither set: " + std::to_string(recs.size());
  for (std::size_t j = 0; j < recs.size(); ++j) {
    const std::string name = "m" + std::to_string(expected[j]);
    if (recs[j].headline() != name) return "record " + std::to_string(j) + " is " + recs[j].headline();
    if (Slurp(dir / "BULLETIN" / (std::to_string(j) + ".DA0")) != "body " + name)
      return "body of " + std::to_string(j) + ": " + Slurp(dir / "BULLETIN" / (std::to_string(j) + ".DA0"));
  }
  if (recs.size() != static_cast<std::size_t>(count) &&
      std::filesystem::exists(dir / "BULLETIN" / (std::to_string(recs.size()) + ".DA0")))
    return "a body beyond the end";
  return "";
}

}  // namespace egresso::test
