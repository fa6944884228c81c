// Arbitrary bytes as the form's list files: the return times (RETURNTM.DAF),
// the destinations (PLACE*.DAF) and the default destination (EG*.DAF). Every
// item is one field's text, every return time offered is a time of the day
// and not past, and every destination chosen sets a return that can be
// stored.
#include <cstdint>
#include <string>
#include <vector>

#include "config/records.h"
#include "fuzz_support.h"
#include "messages/form_rules.h"
#include "storage/dates.h"

using namespace egresso;
using egresso::fuzz::require;

namespace {

bool fieldText(const std::string& s) { return s.size() <= 254 && fuzz::lineText(s); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  test::TempDir dir;
  test::FakePlatform fp;
  Workstation ws(fp.platform());
  fuzz::fillNotices(ws.notices);
  ws.paths.DataFolder = dir.str();
  ws.ThisUser = "ANN";
  ws.Today = DayNumber(2026, 12, 7);
  const std::uint8_t flags = data[0];
  fp.clock.set(2026, 12, 7, data[1] % 24, data[1] % 60);
  ws.pcfg.setU8(pcfg::EuroFormat, flags & 1);
  ws.pcfg.setU8(pcfg::NumericDates, (flags >> 1) & 1);
  ws.pcfg.setI16(pcfg::PartitionMinutes, static_cast<std::int16_t>(flags & 0x80 ? -(flags & 0x3F) : (flags & 0x3F) * 3));
  ws.pcfg.setI16(pcfg::WorkDayBegin, static_cast<std::int16_t>(data[1] * 10));
  ws.pcfg.setI16(pcfg::WorkDayEnd, static_cast<std::int16_t>(2400 - data[1] * 9));

  // One slice of the input per file; a file left out is missing.
  const std::string all(reinterpret_cast<const char*>(data + 2), size - 2);
  const char* const names[] = {"RETURNTM.DAF", "PLACEANN.DAF", "PLACE.DAF", "EGANN.DAF"};
  std::size_t start = 0;
  for (int i = 0; i < 4; ++i) {
    std::size_t end = all.find('\x1E', start);
    if (end == std::string::npos) end = all.size();
    if (((flags >> (2 + i)) & 1) == 0) test::writeFile(dir / names[i], all.substr(start, end - start));
    start = std::min(all.size(), end + 1);
  }

  const int now = CurrentTimeHHMM(ws);
  for (int day : {int{ws.Today}, ws.Today + 1}) {
    const auto times = ReturnTimeList(ws, day);
    require(times.size() <= 1440, "return-time list length");
    for (const auto& t : times) {
      const int hhmm = ParseTime(ws, t);
      require(hhmm > 0 && hhmm <= 2400 && hhmm % 100 < 60, "a time of the day");
      require(day != ws.Today || hhmm >= now, "no past time offered for today");
    }
  }

  const auto places = LoadAbbreviations(ws);
  require(places.size() <= 2000, "two lists of at most 1000");
  for (const auto& line : places) {
    require(fieldText(line), "a place is one field's text");
    for (bool chosen : {true, false}) {
      const AbbreviationResult r = ApplyAbbreviation(ws, line, ws.Today, chosen);
      if (!r.changed) continue;
      require(r.firstLine.size() <= line.size() + 1, "first line from the place");
      if (r.setsReturn) {
        require(r.returnDay >= ws.Today && r.returnDay < kNoDateFrom, "return day storable");
        const int t = ParseTime(ws, r.returnTime);
        require(t > 0 && t <= 2400 && t % 100 < 60, "return time of the day");
        require(r.stepMinutes >= 0, "step");
      }
    }
  }
  std::string line;
  if (DefaultDestination(ws, line)) require(fieldText(line), "default destination is one field's text");
  for (const auto& l : places) require(fieldText(LeaveReturnTime(ws, l, ws.Today)), "return time text");
  return 0;
}
