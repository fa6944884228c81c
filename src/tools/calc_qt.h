// The window of the tape calculator; all decisions are made by
// TapeCalculator (tools/calc.h).
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QTableWidget>
#include <functional>
#include <memory>

class QAction;
class QLabel;
class QMenuBar;
class QPainter;
class QPagedPaintDevice;
class QPushButton;
class QTimer;

namespace egresso {

struct Workstation;
class TapeCalculator;
class TCalculator;

// The tape: keys and clicks go to the calculator, amounts can be dragged
// from it and values dropped on it.
class CalcGrid : public QTableWidget {
  Q_OBJECT
 public:
  explicit CalcGrid(TCalculator& form);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  TCalculator& form_;
  QPoint pressPos_;
  int pressRow_ = -1, pressCol_ = -1;
};

// A memory box: a click recalls the memory, typing sets it, and values
// are dragged from and dropped on it.
class MemoryBox : public QLineEdit {
  Q_OBJECT
 public:
  MemoryBox(TCalculator& form, int memory);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  TCalculator& form_;
  int memory_;
  QPoint pressPos_;
  bool pressed_ = false;
};

class TCalculator : public QDialog {
  Q_OBJECT
 public:
  TCalculator(Workstation& ws, TapeCalculator& logic, QWidget* parent = nullptr);
  ~TCalculator() override;

  QMenuBar* MainMenu;
  QAction* calcPrint;
  QAction* calcToClipboard;
  QAction* calcTotExit;
  QAction* calcExit;
  QAction* mem1In;
  QAction* mem1Out;
  QAction* mem2In;
  QAction* mem2Out;
  QAction* calcErase;
  QAction* calcUnErase;
  QAction* calcRecalc;
  QAction* calcMoreDecimals;
  QAction* calcFewerDecimals;
  QAction* calcHelp;
  QLabel* Mem1Label;
  QLabel* Mem2Label;
  MemoryBox* mem1Btn;
  MemoryBox* mem2Btn;
  QPushButton* CancelBtn;
  CalcGrid* calcGrid;
  QTimer* Timer1;

  // Runs a routine of the calculator, then shows the tape again.
  void act(const std::function<void(TapeCalculator&)>& call);
  TapeCalculator& logic() { return logic_; }

 public slots:
  void CancelBtnClick();
  void calcTotExitClick();
  void calcPrintClick();
  void calcToClipboardClick();
  void reject() override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void showTape();
  void LayOut();
  void Timer1Timer();
  void LivePrint();
  void ToggleLivePrinting();

  Workstation& ws_;
  TapeCalculator& logic_;
  QRect lastBounds_;
  bool closing_ = false;
  std::unique_ptr<QPagedPaintDevice> tapePrinter_;
  std::unique_ptr<QPainter> tapePainter_;
  int tapeLine_ = 0;
};

// Opens the calculator modally; returns CalcTotalInClipboard when it closed
// with the total in the clipboard (the message form then pastes it into
// the text that had the focus), else 0.
int RunCalculator(Workstation& ws, QWidget* parent);

}  // namespace egresso
