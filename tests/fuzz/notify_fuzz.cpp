// Arbitrary bytes as a notification file, whole or cut anywhere: reading
// gives one text per record of at most ten characters, taking the letters
// reads what reading does and leaves no file behind, and a letter put in
// is found at the next take.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "storage/notify_file.h"
#include "storage/record_io.h"

using namespace egresso;
using egresso::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  test::TempDir dir;
  test::FakePlatform fp;
  Workstation ws(fp.platform());
  ws.paths.DataFolder = dir.str();
  ws.Today = 5000;
  const std::uint8_t flags = data[0];
  const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string file = NotifyFileOf(ws, "ANN");
  test::writeFile(file, bytes);
  // A claimed file left by an earlier run that ended while reading.
  const std::string leftover = (flags & 1) ? bytes.substr(bytes.size() / 2) : std::string();
  if (flags & 1) test::writeFile(ClaimedNotifyFile(file), leftover);

  std::vector<std::string> texts;
  require(ReadNotifyTexts(PosixFileOps(), file, texts), "an existing file reads");
  require(texts.size() == (bytes.size() + kNotifyRecordSize - 1) / kNotifyRecordSize, "one text per record");
  for (const auto& t : texts) require(t.size() <= kNotifyRecordSize - 1, "text inside its record");

  std::vector<std::string> expected;
  if (flags & 1) ReadNotifyTexts(PosixFileOps(), ClaimedNotifyFile(file), expected);
  const bool whole = bytes.size() >= kNotifyRecordSize;
  if (whole) expected.insert(expected.end(), texts.begin(), texts.end());
  require(TakeNotifyTexts(file, PosixFileOps()) == expected, "take reads the leftover, then the file");
  require(!fileExists(ClaimedNotifyFile(file)), "no claimed file left");
  require(fileExists(file) == !whole, "a file short of one record stays");

  // A letter goes in once and comes out at the next take.
  const char letter = static_cast<char>((flags >> 1) % 3 == 0 ? 'M' : (flags >> 1) % 3 == 1 ? 'B' : 'A');
  require(AppendNotifyLetter(ws, "ANN", letter) == io::Ok, "letter put in");
  require(AppendNotifyLetter(ws, "ANN", letter) == io::Ok, "letter put in twice");
  std::string letters;
  for (const auto& t : TakeNotifyTexts(file, PosixFileOps())) letters += t;
  if (whole) {
    require(letters == std::to_string(ws.Today) + letter, "the letter once, with the day");
  } else {
    require(letters.find(letter) != std::string::npos, "the letter arrives behind a short file");
  }
  return 0;
}
