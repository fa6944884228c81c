// MESSAGE.DAF and MESSAGE.DAI cut or grown to a number of records and
// entries without writing a message at a time: a store of tens of
// thousands of messages is made in a moment.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "messages/board_record.h"
#include "storage/record_io.h"
#include "support/fake_platform.h"

namespace egresso::test {

// The data file holds `records` records: new ones are zero bytes (the file
// grows sparse), which read as open messages with no sender. The index holds
// `entries` entries: new ones are open and keyed with `day`, so that no list
// pass takes them for messages to expire.
inline void SizeMessageFiles(const std::filesystem::path& dir, std::int64_t records, std::int64_t entries,
                             std::int16_t day) {
  const auto data = dir / "MESSAGE.DAF";
  const auto index = dir / "MESSAGE.DAI";
  if (!std::filesystem::exists(data)) writeFile(data, "");
  if (!std::filesystem::exists(index)) writeFile(index, "");
  std::filesystem::resize_file(data, static_cast<std::uintmax_t>(records) * brd::Size);
  const std::int64_t had = static_cast<std::int64_t>(std::filesystem::file_size(index)) / brd::IndexSize;
  std::filesystem::resize_file(index, static_cast<std::uintmax_t>(std::min(had, entries)) * brd::IndexSize);
  if (entries <= had) return;
  std::string added;
  added.reserve(static_cast<std::size_t>(entries - had) * brd::IndexSize);
  std::array<std::uint8_t, brd::IndexSize> e{};
  BoardIndexEntry{day, 0}.encode(e);
  for (std::int64_t j = had; j < entries; ++j) added.append(e.begin(), e.end());
  writeFile(index, readFile(index) + added);
}

// Entry j of the index as closed, its key kept.
inline void CloseMessageEntry(const std::filesystem::path& dir, std::int64_t j) {
  RecordFile f;
  std::array<std::uint8_t, brd::IndexSize> e{};
  if (f.open((dir / "MESSAGE.DAI").string(), brd::IndexSize, RecordFile::Mode::ReadWrite, PosixFileOps()) != io::Ok || f.read(j, e) != io::Ok) return;
  BoardIndexEntry x = BoardIndexEntry::decode(e);
  x.Flags |= BoardIndexEntry::ClosedBit;
  x.encode(e);
  f.write(j, e);
}

}  // namespace egresso::test
