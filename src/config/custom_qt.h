// The window of the configuration dialog; all decisions are made by
// CustomDialog (config/custom.h).
#pragma once

#include <QDialog>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QPaintDevice;
class QPushButton;
class QTableWidget;

namespace egresso {

class CustomDialog;
struct Workstation;

class TCustom : public QDialog {
  Q_OBJECT
 public:
  TCustom(Workstation& ws, CustomDialog& logic, QWidget* parent = nullptr);

  QMenuBar* MainMenu;
  QAction* InsertRow;
  QAction* DeleteRow;
  QAction* HelpItem;
  QGroupBox* MultiUserBox;
  QLabel* MainUserLbl;
  QLineEdit* MainUserInitials;
  QGroupBox* EmpBox;
  QTableWidget* EmpGrid;
  QPushButton* OKbtn;
  QPushButton* CancelBtn;

 public slots:
  void OKBtnClick();
  void reject() override;

 public:
  // Print Screen: the form's image into the data folder and onto printer.
  void printForm(QPaintDevice& printer);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // Cells and edit into the logic's view, and back.
  void takeView();
  void showView();
  void applyFocus();
  void cellChanged(int row, int col, int prevRow, int prevCol);
  void gridLeft();
  // Ctrl and Alt keys; true when the key is used up here.
  bool formKey(QWidget* target, QKeyEvent* event);
  void focusPastGrid();

  Workstation& ws_;
  CustomDialog& logic_;
  bool syncing_ = false;
  bool inGrid_ = false;
  // A key refused before its shortcut check is refused as a key press too.
  bool refusedKey_ = false;
};

}  // namespace egresso
