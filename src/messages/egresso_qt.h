// The sign out and message form's window. Its handlers copy the controls
// into the form logic (messages/form.h), call the logic and show the
// result; no rule lives here.
#pragma once

#include <QDialog>
#include <QWidget>

#include "messages/form.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QPlainTextEdit;
class QPagedPaintDevice;
class QPushButton;
class QToolButton;

namespace egresso {

struct Workstation;
class TEgressoBrd;

// The small month calendar, drawn at its fixed geometry.
class SmClndrView : public QWidget {
  Q_OBJECT
 public:
  SmClndrView(TEgressoBrd& form, EgressoForm& logic, Workstation& ws, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  TEgressoBrd& form_;
  EgressoForm& logic_;
  Workstation& ws_;
  bool dragging_ = false;
  QPoint dragStart_;
};

class TEgressoBrd : public QDialog {
  Q_OBJECT
 public:
  explicit TEgressoBrd(Workstation& ws, QWidget* parent = nullptr);
  ~TEgressoBrd() override;

  EgressoForm& logic() { return logic_; }
  // Prints the record on a printer already set up (a PDF file, say).
  bool printTo(QPagedPaintDevice& printer);
  // A click on the calendar at (x, y) in its own coordinates.
  void calendarClicked(int x, int y, bool& startDrag);

  // Handlers, as the controls call them.
  void OKbtnClick();
  void CancelBtnClick();
  void FwdRplyBtnClick(ReplyKind kind);
  void MenuPrintClick();
  void MenuHelpClick();
  void dialBtnClick();

 protected:
  void showEvent(QShowEvent* event) override;
  void reject() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void pull();
  void push();
  void finish();
  FormField fieldOf(QObject* o) const;
  QWidget* widgetOf(FormField field) const;
  bool keyDown(QObject* watched, QKeyEvent* key);
  bool isCalculatorKey(int key) const;
  void dialRequested();
  void layoutFace();
  void placeByBoard(bool compact);
  // The focus reached a control: leaves the field that had it, enters the new one.
  void focusField(QObject* watched);

  Workstation& ws_;
  EgressoForm logic_;
  bool shown_ = false;
  bool pushing_ = false;
  FormField current_ = FormField::None;

  QMenuBar* menu_ = nullptr;
  QAction* menuPrintRecord_ = nullptr;
  QAction* menuRply_ = nullptr;
  QAction* menuFwd_ = nullptr;
  QAction* menuHelp_ = nullptr;
  QWidget* body_ = nullptr;
  QGroupBox* empOutBox_ = nullptr;
  QLineEdit* empOut_ = nullptr;
  QComboBox* employeeOut_ = nullptr;
  QGroupBox* empInBox_ = nullptr;
  QLineEdit* empIn_ = nullptr;
  QComboBox* employeeIn_ = nullptr;
  QLabel* empInList_ = nullptr;
  QGroupBox* returnDateBox_ = nullptr;
  QLineEdit* returnDate_ = nullptr;
  QGroupBox* returnTimeBox_ = nullptr;
  QComboBox* returnTime_ = nullptr;
  QGroupBox* locAbbBox_ = nullptr;
  QComboBox* locAbb_ = nullptr;
  QGroupBox* locationBox_ = nullptr;
  QPlainTextEdit* location_ = nullptr;
  QGroupBox* smClndrBox_ = nullptr;
  SmClndrView* smClndr_ = nullptr;
  QCheckBox* deleteBtn_ = nullptr;
  QCheckBox* readBtn_ = nullptr;
  QLabel* label1_ = nullptr;
  QLabel* label2_ = nullptr;
  QPushButton* okBtn_ = nullptr;
  QPushButton* cancelBtn_ = nullptr;
  QToolButton* rplyBtn_ = nullptr;
  QToolButton* fwdBtn_ = nullptr;
  QToolButton* dialBtn_ = nullptr;
};

}  // namespace egresso
