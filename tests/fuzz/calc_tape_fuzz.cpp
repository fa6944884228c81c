// Arbitrary bytes as the calculator's tape file, then arbitrary keys: the
// grid keeps its rows, every cell reads as a tape cell, the caret stays on
// the grid, and a tape saved and read back is saved the same way again.
#include <cstdint>
#include <string>

#include "config/records.h"
#include "fuzz_support.h"
#include "tools/calc.h"

using namespace egresso;
using egresso::fuzz::require;

namespace {

void checkGrid(const TapeCalculator& c, int rows) {
  require(c.Rows() == rows, "rows kept");
  require(c.Decimals >= 0 && c.Decimals <= 9, "decimals");
  require(c.Row >= 0 && c.Row < c.Rows() && (c.Col == 0 || c.Col == 1), "caret on the grid");
  for (const TapeRow& r : c.Grid) {
    require(r.Op == ' ' || r.Op == '+' || r.Op == '-' || r.Op == '*' || r.Op == '/' || r.Op == '=', "operator");
    require(!r.Total || *r.Total == *r.Total, "total is a number");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  test::TempDir dir;
  test::FakePlatform fp;
  Workstation ws(fp.platform());
  fuzz::fillNotices(ws.notices);
  ws.paths.DataFolder = dir.str();
  ws.paths.CalcFile = dir.str() + "/CALCANN.DAF";
  ws.paths.PersonalConfigPath = dir.str() + "/CFGANN.DAF";
  const std::uint8_t flags = data[0];
  const std::size_t tapeBytes = std::min<std::size_t>(size - 2, data[1] * 14 + flags % 14);
  ws.pcfg.setI16(pcfg::CalcRows, static_cast<std::int16_t>((flags & 0x70) == 0 ? 0 : (flags & 0x70) >> 3));
  if (flags & 0x80) ws.options.DecimalSeparator = ',';
  test::writeFile(ws.paths.CalcFile, std::string(reinterpret_cast<const char*>(data + 2), tapeBytes));

  TapeCalculator c(ws);
  c.FormShow();
  const int rows = c.Rows();
  require(rows >= 3 && rows <= 10000, "row count");
  checkGrid(c, rows);

  // Saving and reading settles after one round: the second save writes
  // what the first one did.
  require(c.SaveTape(), "tape saved");
  c.ReadTape();
  const auto settled = c.Grid;
  require(c.SaveTape(), "tape saved again");
  const std::string first = test::readFile(ws.paths.CalcFile);
  c.ReadTape();
  require(c.Grid == settled, "a saved tape reads back the same");
  require(c.SaveTape() && test::readFile(ws.paths.CalcFile) == first, "a saved tape saves the same");

  // Keys, moves and decimals from the rest of the input.
  for (std::size_t i = 2 + tapeBytes; i < size; ++i) {
    const std::uint8_t k = data[i];
    switch (k >> 5) {
      case 0: c.MoveTo(k % 8 == 0 ? c.EntryRow() : c.Row - (k % 8), k & 1); break;
      case 1: c.Enter(); break;
      case 2: c.ChangeDecimals((k & 1) ? 1 : -1); break;
      case 3: k & 1 ? c.EraseTape() : c.UnEraseTape(); break;
      case 4: c.MemIn(k & 1); c.MemOut((k >> 1) & 1); break;
      default: c.KeyPress(static_cast<char>("0123456789.,-+*/=\b"[k % 18])); break;
    }
    checkGrid(c, rows);
  }
  require(c.TapeText().size() <= 8192, "clipboard text fits its buffer");
  for (const auto& line : c.PrintLayout(200 + flags)) require(line.page >= 0 && line.y >= 0, "print layout");
  double v = 0;
  require(!c.ParseAmount(c.TotalText(), v) || v == v, "total text");
  c.Exit();
  return 0;
}
