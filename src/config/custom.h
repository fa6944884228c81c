// The configuration dialog TCustom without its window: the main user and
// the employee table of the main configuration, the access rule, the
// duplicate-initials check, inserting, deleting and compacting rows, the
// save under the "CFGMAIN" lock, and RebuildLocations, which makes the
// location file follow the new table. The window (config/custom_qt.h, or a
// test) copies the cells into CustomView before each call and shows what
// the call leaves there.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace egresso {

struct Workstation;

inline constexpr int kGridRows = 51;  // row 0 is the heading

// The reserved per-employee bytes of the main configuration that belong to
// a row of the table and move with it: five amounts and one flag.
struct EmployeeExtras {
  std::array<std::uint8_t, 30> amounts{};
  std::uint8_t flag = 0;
};

enum class CustomFocus { None, CancelBtn, MainUser, Grid };

struct CustomView {
  std::string Caption;
  std::string BoxCaption, EmpBoxCaption, MainUserLabel, OkCaption, CancelCaption;
  std::string EditMenu, InsertItem, DeleteItem;
  std::string MainUser;                                  // the edit
  std::array<std::array<std::string, 2>, kGridRows> Grid;  // initials, name
  bool InsertEnabled = false, DeleteEnabled = false;
  CustomFocus Focus = CustomFocus::CancelBtn;
  int Row = 1, Col = 0;  // the cell to select when Focus is Grid
  bool Closed = false;
  bool Saved = false;    // the main configuration was written
};

class CustomDialog {
 public:
  explicit CustomDialog(Workstation& ws) : ws_(ws) {}

  void FormShow();
  // The access rule: whether this user may change the table.
  bool MayEdit() const { return mayEdit(); }
  // Entering the grid or the main-user edit; false (after the notice) when
  // this user may not edit, the focus going to CancelBtn.
  bool EnterGrid();
  bool EnterMainUser();
  // The grid's current cell moves to (row, col). False when the cell left
  // holds initials another row has: the selection goes back to it.
  bool SelectCell(int row, int col);
  // The focus leaves the grid; false when it must stay (a duplicate).
  bool ExitGrid();
  void InsertRow();
  void DeleteRow();
  // A key that edits, or a click on a box.
  void KeyPressed();
  // OK (cancel false) or Cancel and Escape (cancel true).
  void OKBtnClick(bool cancel);

  CustomView view;
  bool Modified = false, Shown = false, GridEntered = false;
  int CurrentRow = 1, PrevRow = -1, PrevCol = -1;

 private:
  bool mayEdit() const;
  void normaliseInitials(int row);
  // The first other row 1..50 with the same initials as row, or 0.
  int duplicateOf(int row) const;
  void warnDuplicate(int row);
  void compact();
  void removeRow(int row);

  Workstation& ws_;
  std::array<EmployeeExtras, kGridRows> extras_{};
};

// Makes LOCATE hold one record per employee slot 0..50 in table order
// (multi-user mode, main user only) and tells every other employee's
// workstation through its EMP signal file.
void RebuildLocations(Workstation& ws);

}  // namespace egresso
