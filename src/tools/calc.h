// The tape calculator TCalculator without its window: the tape of amounts
// with their running totals, keyed entries, editing of older lines,
// decimals, erase and un-erase, the two memories, the tape file, printing
// and clipboard texts. The window (tools/calc_qt.h) shows Grid and feeds
// keys and clicks to these routines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/accessory_state.h"

namespace egresso {

struct Workstation;

// One line of the tape: the grid's three columns.
struct TapeRow {
  char Op = ' ';                // '+', '-', '*', '/', '=' or ' '
  std::string Amount;           // as shown, right-aligned in 13; empty = none
  std::optional<double> Total;  // the running total (never shown)
  bool operator==(const TapeRow&) const = default;
};

// The tape file: one 14-byte record per grid row.
namespace tape {
inline constexpr std::size_t RecordSize = 14;
inline constexpr double EmptyAmount = -9080706;
inline constexpr std::size_t Amount = 0;    // real48
inline constexpr std::size_t Total = 6;     // real48, 0 when empty
inline constexpr std::size_t Op = 12;       // character, 32 when none
inline constexpr std::size_t Decimals = 13; // 0..9
}  // namespace tape

// The result the message form reads after the calculator closes.
inline constexpr int CalcTotalInClipboard = 20;

// A line of a printed tape: its page (from 0), its y on the page and its text.
struct TapePrintLine {
  int page = 0;
  int y = 0;
  std::string text;
};

class TapeCalculator {
 public:
  explicit TapeCalculator(Workstation& ws) : ws_(ws) {}

  // Opening: rows, decimals 2, the tape read, caret on the entry row.
  void FormShow();
  // Where the window goes, from the saved place or the reference area
  // (the board's left, top, width - 8 and height - 4; else the work area).
  ToolRect Placement(const ToolRect& reference) const;

  // A character typed into the current cell: digits, "-", ".", the decimal
  // separator, an operator, or 8 (Backspace). False when it did nothing.
  bool KeyPress(char ch);
  // Enter (and Home): "=" on the entry row; an older row is tidied and the
  // caret goes back to the entry row.
  void Enter();
  // Moving the caret (arrows, pages, Tab, a click): an edited row is
  // recalculated, saved and read back first. Refused (false, with a beep)
  // for an older row that has no amount.
  bool MoveTo(int row, int col);
  bool MoveBy(int rows) { return MoveTo(Row + rows, Col); }

  // Running totals from row s on.
  void Recalc(int s);

  // The tape file: saving writes every row; reading fills the grid
  // (the last rows of the file to the last rows of the grid).
  bool SaveTape();
  void ReadTape();

  // One decimal more (+1) or fewer (-1), within 0..9.
  void ChangeDecimals(int delta);
  void EraseTape();
  void UnEraseTape();

  // Memory 0 (Mem1) or 1 (Mem2).
  void MemIn(int m);
  void MemOut(int m);
  // The box's text typed by the user; an empty or invalid text empties it.
  void SetMemory(int m, std::string_view text);
  // The box's text.
  std::string MemoryText(int m) const;
  // Drag and drop: a value dropped on a row's amount or on a memory box.
  void DropOnRow(int row, std::string_view value);
  void DropOnMemory(int m, std::string_view value) { SetMemory(m, value); }

  // The printed and copied lines: from the caret's row (row 0 when the
  // caret is on the entry row) to the end, each with an amount, as the
  // operator followed by the amount.
  std::vector<std::string> TapeLines() const;
  // The tape for the clipboard, lines ended by CR LF. A tape longer than
  // the 8192-byte buffer keeps its newest lines: whole lines are left off
  // at the start.
  std::string TapeText() const;
  // The pages of Print Tape for a page of the given height.
  std::vector<TapePrintLine> PrintLayout(int pageHeight) const;
  // The total handed to the message form: the last tape line's amount, trimmed.
  std::string TotalText() const;

  // Exit with total in clipboard: the total to the clipboard, the result set.
  void ExitWithTotal();
  // Exit: the tape saved and the personal configuration written.
  void Exit();
  // The window moved or was resized (the form's timer): its place is kept
  // in the personal configuration.
  void TrackPlacement(int top, int left, int height);

  // Ctrl+K: live tape printing on or off; only with a tape printer.
  bool ToggleLivePrinting();

  int Rows() const { return static_cast<int>(Grid.size()); }
  int EntryRow() const { return Rows() - 1; }
  // The amount shown for a value: the current decimals, right-aligned in 13.
  std::string FormatAmount(double v) const;
  // The value of an amount text; false when it holds no number.
  bool ParseAmount(std::string_view text, double& v) const;

  std::vector<TapeRow> Grid;
  int Row = 0;                // the caret's row
  int Col = 1;                // 0 the operator column, 1 the amount column
  int Decimals = 2;
  int PendingDecimals = -1;   // a change of decimals to apply when reading
  bool Edited = false;        // an older row was typed into
  bool EraseEnabled = true;
  bool UnEraseEnabled = false;
  bool LivePrinting = false;
  int Result = 0;             // CalcTotalInClipboard after ExitWithTotal
  // Lines completed while live printing is on, for the window to print.
  std::vector<std::string> LivePrintQueue;

 private:
  void Complete(char op);
  void AddTotalLine();
  void ShiftUp();
  void ComputeRow(int i);
  void AfterEntry();
  void ClearGrid();
  void Tidy(int row);
  void Beep();

  Workstation& ws_;
  bool freshCell_ = true;     // the next character typed on an older row replaces its amount
};

}  // namespace egresso
