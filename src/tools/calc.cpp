#include "tools/calc.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "core/workstation.h"
#include "storage/bytes.h"
#include "config/config_store.h"
#include "storage/record_io.h"
#include "text/fixed_width.h"

namespace egresso {

namespace {

constexpr int kDefaultRows = 100;
// A damaged or odd row count in the personal record must not make the
// grid useless or huge.
constexpr int kMinRows = 3;
constexpr int kMaxRows = 10000;
constexpr int kAmountWidth = 13;
constexpr std::size_t kClipboardBuffer = 8192;
constexpr int kLinesPerPage = 48;

bool IsOperator(char c) { return c == '+' || c == '-' || c == '*' || c == '/' || c == '='; }

std::string RightAligned(std::string_view text) {
  std::string t = RemoveBlanks(text);
  if (static_cast<int>(t.size()) < kAmountWidth) t.insert(0, static_cast<std::size_t>(kAmountWidth) - t.size(), ' ');
  return t;
}

}  // namespace

void TapeCalculator::Beep() {
  if (ws_.platform.dialogs) ws_.platform.dialogs->beep();
}

bool TapeCalculator::ParseAmount(std::string_view text, double& v) const {
  std::string t = RemoveBlanks(text);
  if (t.empty()) return false;
  const char sep = ws_.options.DecimalSeparator;
  bool digit = false, point = false;
  for (std::size_t i = 0; i < t.size(); ++i) {
    char& c = t[i];
    if (std::isdigit(static_cast<unsigned char>(c))) {
      digit = true;
    } else if ((c == sep || c == '.') && !point) {
      point = true;
      c = '.';
    } else if (!(c == '-' && i == 0)) {
      return false;
    }
  }
  if (!digit) return false;
  const char* first = t.data() + (t[0] == '-' ? 1 : 0);
  double value = 0;
  const auto [end, ec] = std::from_chars(first, t.data() + t.size(), value, std::chars_format::fixed);
  if (ec != std::errc() || end != t.data() + t.size()) return false;
  v = t[0] == '-' ? -value : value;
  return true;
}

std::string TapeCalculator::FormatAmount(double v) const {
  char buf[400];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, Decimals);
  std::string s = ec == std::errc() ? std::string(buf, end) : std::string("0");
  // A result that rounds to zero shows no sign.
  if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
  if (ws_.options.DecimalSeparator != '.') std::replace(s.begin(), s.end(), '.', ws_.options.DecimalSeparator);
  return RightAligned(s);
}

void TapeCalculator::FormShow() {
  int rows = ws_.pcfg.i16(pcfg::CalcRows);
  if (rows == 0) rows = kDefaultRows;
  rows = std::clamp(rows, kMinRows, kMaxRows);
  Decimals = 2;
  PendingDecimals = -1;
  Grid.assign(static_cast<std::size_t>(rows), TapeRow{});
  ReadTape();
  UnEraseEnabled = false;
  EraseEnabled = true;
  LivePrinting = false;
  LivePrintQueue.clear();
  Result = 0;
  Edited = false;
  Row = EntryRow();
  Col = 1;
  freshCell_ = true;
}

ToolRect TapeCalculator::Placement(const ToolRect& reference) const {
  ToolRect r;
  r.width = 162;
  const int savedHeight = ws_.pcfg.i16(pcfg::CalcPlacement + 4);
  r.height = savedHeight != 0 ? savedHeight : 357;
  if (savedHeight != 0) {
    r.top = ws_.pcfg.i16(pcfg::CalcPlacement);
    r.left = ws_.pcfg.i16(pcfg::CalcPlacement + 2);
  } else {
    r.left = reference.left + static_cast<int>(reference.width * 0.5 - 80);
    r.top = reference.top + static_cast<int>(reference.height * 0.5 - 138);
  }
  return r;
}

void TapeCalculator::ClearGrid() { std::fill(Grid.begin(), Grid.end(), TapeRow{}); }

void TapeCalculator::ShiftUp() {
  std::rotate(Grid.begin(), Grid.begin() + 1, Grid.end());
  Grid.back() = TapeRow{};
}

void TapeCalculator::Tidy(int row) {
  TapeRow& r = Grid[static_cast<std::size_t>(row)];
  if (!RemoveBlanks(r.Amount).empty()) r.Amount = RightAligned(r.Amount);
}

void TapeCalculator::ComputeRow(int i) {
  TapeRow& r = Grid[static_cast<std::size_t>(i)];
  const std::optional<double> prev = i > 0 ? Grid[static_cast<std::size_t>(i - 1)].Total : std::nullopt;
  double a = 0;
  const bool valid = ParseAmount(r.Amount, a);
  if (r.Op == '=') {
    if (prev) {
      r.Total = prev;
      r.Amount = FormatAmount(*prev);
    } else {
      r.Total = valid ? std::optional<double>(a) : std::nullopt;
    }
    return;
  }
  if (!valid) {
    r.Total.reset();
    return;
  }
  if (!prev) {
    // The first line: a "-" makes the tape start negative.
    r.Total = r.Op == '-' ? -a : a;
    return;
  }
  const double p = *prev;
  switch (r.Op) {
    case '+': r.Total = p + a; break;
    case '-': r.Total = p - a; break;
    case '*': r.Total = p * a; break;
    case '/': r.Total = a == 0 ? 0.0 : p / a; break;
    default: r.Total = a; break;
  }
}

void TapeCalculator::Recalc(int s) {
  if (s < 0) s = 0;
  if (s >= Rows()) return;
  int start = s;
  TapeRow& r = Grid[static_cast<std::size_t>(s)];
  if ((r.Op == ' ' || r.Op == '=') && Col == 1) {
    // A total line whose amount was typed over takes the typed value.
    double a = 0;
    r.Total = ParseAmount(r.Amount, a) ? std::optional<double>(a) : std::nullopt;
    start = s + 1;
  }
  for (int i = start; i < Rows(); ++i) ComputeRow(i);
}

bool TapeCalculator::SaveTape() {
  if (ws_.paths.CalcFile.empty()) return false;
  std::vector<std::uint8_t> buf(Grid.size() * tape::RecordSize);
  for (std::size_t i = 0; i < Grid.size(); ++i) {
    Bytes rec(buf.data() + i * tape::RecordSize, tape::RecordSize);
    const TapeRow& r = Grid[i];
    double a = 0;
    const bool valid = ParseAmount(r.Amount, a);
    putReal48(rec, tape::Amount, valid ? a : tape::EmptyAmount);
    putReal48(rec, tape::Total, valid && r.Total ? *r.Total : 0.0);
    putU8(rec, tape::Op, static_cast<std::uint8_t>(r.Op));
    putU8(rec, tape::Decimals, static_cast<std::uint8_t>(Decimals));
  }
  RecordFile f;
  if (f.open(ws_.paths.CalcFile, buf.size(), RecordFile::Mode::Create, *ws_.files) != io::Ok) return false;
  const bool ok = f.write(0, buf) == io::Ok;
  return f.close() == io::Ok && ok;
}

void TapeCalculator::ReadTape() {
  ClearGrid();
  if (PendingDecimals >= 0) Decimals = PendingDecimals;
  RecordFile f;
  if (ws_.paths.CalcFile.empty() || f.open(ws_.paths.CalcFile, tape::RecordSize, RecordFile::Mode::ReadOnly, *ws_.files) != io::Ok)
    return;
  const std::int64_t n = f.recordCount();
  const std::int64_t first = std::max<std::int64_t>(0, n - Rows());
  std::vector<std::uint8_t> buf(static_cast<std::size_t>(n - first) * tape::RecordSize);
  const std::int64_t got = buf.empty() ? 0 : f.readRecords(first, buf);
  f.close();
  if (got <= 0) return;
  if (PendingDecimals < 0) Decimals = std::clamp<int>(buf[tape::Decimals], 0, 9);
  // The newest lines stand at the bottom of the grid, whatever the sizes.
  const std::size_t dest = Grid.size() - static_cast<std::size_t>(got);
  for (std::size_t k = 0; k < static_cast<std::size_t>(got); ++k) {
    ConstBytes rec(buf.data() + k * tape::RecordSize, tape::RecordSize);
    TapeRow& r = Grid[dest + k];
    const char op = static_cast<char>(getU8(rec, tape::Op));
    r.Op = IsOperator(op) ? op : ' ';
    const double a = getReal48(rec, tape::Amount);
    if (a != tape::EmptyAmount) {
      r.Amount = FormatAmount(a);
      r.Total = getReal48(rec, tape::Total);
    }
  }
}

void TapeCalculator::AfterEntry() {
  if (SaveTape()) ReadTape();
  Row = EntryRow();
  Col = 1;
  Edited = false;
  freshCell_ = true;
}

void TapeCalculator::AddTotalLine() {
  const int last = EntryRow() - 1;
  const std::optional<double> total = Grid[static_cast<std::size_t>(last)].Total;
  if (!total || Grid[static_cast<std::size_t>(last)].Op == '=') {
    Beep();
    return;
  }
  ShiftUp();
  TapeRow& line = Grid[static_cast<std::size_t>(EntryRow() - 1)];
  line.Op = '=';
  line.Amount = FormatAmount(*total);
  line.Total = total;
  if (LivePrinting) LivePrintQueue.push_back(std::string(1, line.Op) + line.Amount);
}

void TapeCalculator::Complete(char op) {
  Tidy(EntryRow());
  ShiftUp();
  const int done = EntryRow() - 1;
  ComputeRow(done);
  const TapeRow& line = Grid[static_cast<std::size_t>(done)];
  if (LivePrinting) LivePrintQueue.push_back(std::string(1, line.Op) + line.Amount);
  if (op == '=')
    AddTotalLine();
  else
    Grid.back().Op = op;
  // A new line replaces the tape an erase left in the file.
  UnEraseEnabled = false;
  AfterEntry();
}

bool TapeCalculator::KeyPress(char ch) {
  if (Rows() < 2) return false;
  TapeRow& r = Grid[static_cast<std::size_t>(Row)];
  const bool number = std::isdigit(static_cast<unsigned char>(ch)) || ch == '.' || ch == ws_.options.DecimalSeparator;
  if (ch == 8) {
    while (!r.Amount.empty() && r.Amount.back() == ' ') r.Amount.pop_back();
    if (!r.Amount.empty()) r.Amount.pop_back();
    if (Row != EntryRow()) Edited = true;
    freshCell_ = false;
    return true;
  }
  if (Row == EntryRow()) {
    if (Col == 0) {
      if (!IsOperator(ch) || ch == '=') return false;
      r.Op = ch;
      return true;
    }
    const std::string typed = RemoveBlanks(r.Amount);
    if (number) {
      r.Amount = typed + ch;
      if (std::isdigit(static_cast<unsigned char>(ch))) EraseEnabled = true;
      return true;
    }
    if (ch == '-' && typed.empty()) {
      r.Amount = "-";
      return true;
    }
    if (!IsOperator(ch)) return false;
    double v = 0;
    if (ParseAmount(typed, v)) {
      Complete(ch);
    } else if (ch == '=') {
      r.Amount.clear();
      AddTotalLine();
      AfterEntry();
    } else {
      // An operator before any amount sets the operator of the coming line.
      r.Op = ch;
      r.Amount.clear();
    }
    return true;
  }
  // An older line.
  if (IsOperator(ch) && (Col == 0 || ch != '-')) {
    r.Op = ch;
    const int col = Col;
    Col = 0;  // the operator changed: every total is worked out again
    Recalc(Row);
    Col = col;
    const int row = Row;
    AfterEntry();
    Row = row;
    return true;
  }
  if (Col == 1 && (number || ch == '-')) {
    if (freshCell_) r.Amount.clear();
    r.Amount = RemoveBlanks(r.Amount) + ch;
    freshCell_ = false;
    Edited = true;
    return true;
  }
  return false;
}

void TapeCalculator::Enter() {
  if (Row == EntryRow()) {
    KeyPress('=');
    return;
  }
  Tidy(Row);
  if (Edited) Recalc(Row);
  AfterEntry();
}

bool TapeCalculator::MoveTo(int row, int col) {
  row = std::clamp(row, 0, EntryRow());
  col = std::clamp(col, 0, 1);
  if (row != Row && row < EntryRow() && RemoveBlanks(Grid[static_cast<std::size_t>(row)].Amount).empty()) {
    Beep();
    return false;
  }
  if (row != Row && Edited) {
    Tidy(Row);
    Recalc(Row);
    AfterEntry();
  }
  Row = row;
  Col = col;
  freshCell_ = true;
  return true;
}

void TapeCalculator::ChangeDecimals(int delta) {
  const int n = std::clamp(Decimals + delta, 0, 9);
  if (n == Decimals) return;
  const bool saved = SaveTape();
  PendingDecimals = Decimals = n;
  if (saved) {
    ReadTape();
    return;
  }
  // Without the file the lines are shown again from what the grid holds.
  for (TapeRow& r : Grid) {
    double a = 0;
    if (ParseAmount(r.Amount, a)) r.Amount = FormatAmount(a);
  }
}

void TapeCalculator::EraseTape() {
  if (!EraseEnabled) return;
  // The file keeps the tape for Un-erase; a tape that could not be saved stays.
  if (!SaveTape()) {
    Beep();
    return;
  }
  ClearGrid();
  EraseEnabled = false;
  UnEraseEnabled = true;
  Row = EntryRow();
  Col = 1;
}

void TapeCalculator::UnEraseTape() {
  if (!UnEraseEnabled) return;
  ReadTape();
  UnEraseEnabled = false;
  EraseEnabled = true;
  Row = EntryRow();
  Col = 1;
}

void TapeCalculator::MemIn(int m) {
  if (m < 0 || m > 1) return;
  double v = 0;
  bool ok = ParseAmount(Grid[static_cast<std::size_t>(Row)].Amount, v);
  if (Row == EntryRow() && (!ok || v == 0)) ok = ParseAmount(Grid[static_cast<std::size_t>(EntryRow() - 1)].Amount, v);
  if (ok) ws_.accessories.CalcMemory[m] = v;
}

std::string TapeCalculator::MemoryText(int m) const {
  if (m < 0 || m > 1 || !ws_.accessories.CalcMemory[m]) return {};
  return RemoveBlanks(FormatAmount(*ws_.accessories.CalcMemory[m]));
}

void TapeCalculator::SetMemory(int m, std::string_view text) {
  if (m < 0 || m > 1) return;
  double v = 0;
  if (ParseAmount(text, v))
    ws_.accessories.CalcMemory[m] = v;
  else
    ws_.accessories.CalcMemory[m].reset();
}

void TapeCalculator::DropOnRow(int row, std::string_view value) {
  double v = 0;
  if (row < 0 || row >= Rows() || !ParseAmount(value, v)) return;
  Grid[static_cast<std::size_t>(row)].Amount = FormatAmount(v);
  Row = row;
  Col = 1;
  Recalc(row);
  EraseEnabled = true;
  UnEraseEnabled = false;
  if (row < EntryRow()) {
    AfterEntry();
    Row = row;
  }
}

void TapeCalculator::MemOut(int m) {
  if (m < 0 || m > 1 || !ws_.accessories.CalcMemory[m]) return;
  TapeRow& r = Grid[static_cast<std::size_t>(Row)];
  const std::string typed = RemoveBlanks(r.Amount);
  std::string value = FormatAmount(*ws_.accessories.CalcMemory[m]);
  // After a lone sign the value takes the sign.
  if (typed.size() == 1 && IsOperator(typed[0])) value = RightAligned(typed + RemoveBlanks(value));
  DropOnRow(Row, value);
}

std::vector<std::string> TapeCalculator::TapeLines() const {
  std::vector<std::string> lines;
  for (int i = Row == EntryRow() ? 0 : Row; i < Rows(); ++i) {
    const TapeRow& r = Grid[static_cast<std::size_t>(i)];
    if (RemoveBlanks(r.Amount).empty()) continue;
    lines.push_back(std::string(1, r.Op) + RightAligned(r.Amount));
  }
  return lines;
}

std::string TapeCalculator::TapeText() const {
  const std::vector<std::string> lines = TapeLines();
  // The buffer ends with a zero byte; the newest lines, with the total, are
  // the ones worth keeping.
  std::size_t size = 0;
  std::size_t first = lines.size();
  while (first > 0 && size + lines[first - 1].size() + 2 <= kClipboardBuffer - 1) {
    --first;
    size += lines[first].size() + 2;
  }
  std::string text;
  text.reserve(size);
  for (std::size_t i = first; i < lines.size(); ++i) text += lines[i] + "\r\n";
  return text;
}

std::vector<TapePrintLine> TapeCalculator::PrintLayout(int pageHeight) const {
  std::vector<TapePrintLine> out;
  const std::vector<std::string> lines = TapeLines();
  const int top = static_cast<int>(static_cast<std::int64_t>(pageHeight) * 100 / 753);
  const int step = pageHeight / 54;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    const int line = static_cast<int>(k % kLinesPerPage) + 1;
    out.push_back({static_cast<int>(k / kLinesPerPage), top + (line - 1) * step, lines[k]});
  }
  return out;
}

std::string TapeCalculator::TotalText() const {
  if (Rows() < 2) return {};
  const std::string t = RemoveBlanks(Grid[static_cast<std::size_t>(EntryRow() - 1)].Amount);
  return t;
}

void TapeCalculator::ExitWithTotal() {
  if (ws_.platform.clipboard) ws_.platform.clipboard->setText(TotalText());
  Result = CalcTotalInClipboard;
  Exit();
}

void TapeCalculator::Exit() {
  SaveTape();
  WritePersonalConfig(ws_);
  LivePrinting = false;
}

void TapeCalculator::TrackPlacement(int top, int left, int height) {
  ws_.pcfg.setI16(pcfg::CalcPlacement, static_cast<std::int16_t>(top));
  ws_.pcfg.setI16(pcfg::CalcPlacement + 2, static_cast<std::int16_t>(left));
  ws_.pcfg.setI16(pcfg::CalcPlacement + 4, static_cast<std::int16_t>(height));
  if (!ws_.options.CompactMode) WritePersonalConfig(ws_);
}

bool TapeCalculator::ToggleLivePrinting() {
  if (ws_.options.CalcPrinter < 0) return false;
  LivePrinting = !LivePrinting;
  return true;
}

}  // namespace egresso
