// The window of the personal memo editor; all decisions are made by
// MemoEditor (tools/editor.h).
#pragma once

#include <QDialog>
#include <functional>

class QAction;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace egresso {

struct Workstation;
class MemoEditor;
enum class EditorKey;

class TEditForm : public QDialog {
  Q_OBJECT
 public:
  TEditForm(Workstation& ws, MemoEditor& logic, QWidget* parent = nullptr);

  QMenuBar* MainMenu;
  QAction* EditSave;
  QAction* EditSaveAs;
  QAction* EditExit;
  QAction* EditFind;
  QAction* EditCut;
  QAction* EditPaste;
  QAction* EditCopy;
  QAction* EditorHelp;
  QPlainTextEdit* EditText;
  QPushButton* OKbtn;
  QPushButton* CancelBtn;
  QTimer* Timer1;

 public slots:
  void OKbtnClick();
  void CancelBtnClick();
  void reject() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Runs one of the logic's routines on the text area's contents.
  void withArea(const std::function<void(MemoEditor&)>& call);
  bool key(EditorKey k);
  void LayOut();
  void Timer1Timer();

  Workstation& ws_;
  MemoEditor& logic_;
  QRect lastBounds_;
};

// Opens the memo of the workstation's editor request modally over the
// board, and afterwards ends the request and keeps the window's place.
void RunMemoEditor(Workstation& ws, QWidget* board);

}  // namespace egresso
