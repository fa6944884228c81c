// Date and time parsing on arbitrary text: results stay in their ranges and
// every date read formats and reads back as the same day.
#include <cstdint>
#include <string>

#include "config/records.h"
#include "fuzz_support.h"
#include "storage/dates.h"
#include "text/fixed_width.h"

using namespace egresso;
using egresso::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  test::FakePlatform fp;
  Workstation ws(fp.platform());
  fuzz::fillNotices(ws.notices);
  ws.Today = 5000;
  std::uint8_t style = data[0];
  ws.pcfg.setU8(pcfg::NumericDates, style & 1);
  ws.pcfg.setU8(pcfg::EuroFormat, (style >> 1) & 1);
  ws.pcfg.setU8(pcfg::MondayFirst, (style >> 2) & 1);
  std::string all(reinterpret_cast<const char*>(data + 1), size - 1);
  std::size_t cut = all.find('|');
  std::string text = all.substr(0, cut);
  std::string reference = cut == std::string::npos ? std::string() : all.substr(cut + 1);

  int day = ParseDay(ws, text, reference, (style >> 3) & 1);
  require(day == 0 || day == kBadDate || (day >= 367 && day < kNoDateFrom), "ParseDay range");
  if (day >= 367 && day < DayNumber(2071, 1, 1)) {
    require(ParseDay(ws, FormatDay(ws, day, false, true), "", false) == day, "date round trip");
    require(ParseDay(ws, FormatDay(ws, day, true, false), "", false) == day, "long date round trip");
  }
  require(FormatDay(ws, day, (style >> 4) & 1, (style >> 5) & 1).size() <= 20, "FormatDay width");

  int time = ParseTime(ws, text);
  require(time >= 0 && time <= 2400 && time % 100 <= 59, "ParseTime range");
  if (time > 0) require(ParseTime(ws, FormatTime(ws, time, true, true, 0)) == time, "time round trip");

  require(ShiftDay(ws, reference, text).size() <= 15, "ShiftDay width");
  std::uint32_t bits = 0;
  for (std::size_t i = 0; i < 4 && i + 1 < size; ++i) bits = (bits << 8) | data[1 + i];
  auto raw = static_cast<int>(bits);
  require(FormatTime(ws, raw, style & 0x40, style & 0x80, style & 1).size() <= 10, "FormatTime width");
  require(CleanNumber(text).size() <= 12, "CleanNumber width");
  require(PadText(text, raw).size() <= 254, "PadText width");
  return 0;
}
