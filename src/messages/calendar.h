// The small month calendar beside the return date: the month shown, its
// 7 x 6 day grid, what a click at a point means and the keys that move the
// chosen day. Drawing is the window's; the geometry is fixed here.
#pragma once

#include <string>

namespace egresso {

struct Workstation;

class SmallCalendar {
 public:
  static constexpr int Width = 192, Height = 163;
  static constexpr int CellWidth = 27, CellHeight = 21;
  static constexpr int GridTop = 39;

  // Shows the month of a day number and chooses that day.
  void Show(Workstation& ws, int dayNumber);
  // The chosen day as a day number.
  int Chosen() const;
  int day() const { return day_; }
  int month() const { return month_; }
  int year2() const { return year2_; }
  // Day of month in a cell (row 0..5, column 0..6), 0 for an empty cell.
  int Cell(int row, int column) const { return grid_[row][column]; }
  // Row and column of the chosen day.
  void ChosenCell(int& row, int& column) const;
  // Header texts: "Dec 26" and the seven day-name abbreviations in column order.
  std::string Header(Workstation& ws) const;
  std::string DayHeading(Workstation& ws, int column) const;

  enum class Hit { Nothing, PreviousMonth, NextMonth, Day, Drag };
  // What a left click at (x, y) inside the calendar does; a Day hit on an
  // empty cell chooses nothing.
  Hit Click(Workstation& ws, int x, int y);

  enum class Key { Left, Right, Up, Down, PageUp, PageDown, Home };
  void Press(Workstation& ws, Key key);

  // "7 December 26": the text the return date receives for the chosen day.
  std::string DateText(Workstation& ws) const;

 private:
  void Fill(Workstation& ws);
  void SetMonth(Workstation& ws, int month, int year2);
  int day_ = 1, month_ = 1, year2_ = 0;
  int grid_[6][7] = {};
};

}  // namespace egresso
