#include "tools/editor_qt.h"

#include <QAction>
#include <functional>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QTimer>

#include "core/workstation.h"
#include "platform/text_qt.h"
#include "tools/editor.h"
#include "tools/tool_window_qt.h"

namespace egresso {

namespace {

constexpr int kTextTop = 35;

}  // namespace

TEditForm::TEditForm(Workstation& ws, MemoEditor& logic, QWidget* parent)
    : QDialog(parent),
      MainMenu(new QMenuBar(this)),
      EditText(new QPlainTextEdit(this)),
      OKbtn(new QPushButton(this)),
      CancelBtn(new QPushButton(this)),
      Timer1(new QTimer(this)),
      ws_(ws),
      logic_(logic) {
  setObjectName("EditForm");
  EditText->setObjectName("EditText");
  OKbtn->setObjectName("OKbtn");
  CancelBtn->setObjectName("CancelBtn");
  setModal(true);
  const EditorView& v = logic_.view;

  QMenu* file = MainMenu->addMenu(fromRecordText(v.FileMenu));
  EditSave = file->addAction(fromRecordText(v.SaveItem));
  EditSaveAs = file->addAction(fromRecordText(v.SaveAsItem));
  file->addSeparator();
  EditExit = file->addAction(fromRecordText(v.ExitItem));
  QMenu* edit = MainMenu->addMenu(fromRecordText(v.EditMenu));
  EditFind = edit->addAction(fromRecordText(v.FindItem));
  EditCut = edit->addAction(fromRecordText(v.CutItem));
  EditPaste = edit->addAction(fromRecordText(v.PasteItem));
  EditCopy = edit->addAction(fromRecordText(v.CopyItem));
  EditorHelp = MainMenu->addAction(fromRecordText(v.HelpItem));
  EditorHelp->setVisible(false);
  EditSave->setEnabled(v.SaveEnabled);
  EditSaveAs->setEnabled(v.SaveAsEnabled);
  EditCut->setEnabled(v.CutEnabled);
  EditPaste->setEnabled(v.PasteEnabled);
  connect(EditSave, &QAction::triggered, this, &TEditForm::OKbtnClick);
  connect(EditSaveAs, &QAction::triggered, this, &TEditForm::OKbtnClick);
  connect(EditExit, &QAction::triggered, this, &TEditForm::CancelBtnClick);
  connect(EditFind, &QAction::triggered, this, [this] {
    EditText->setFocus();
    withArea([](MemoEditor& m) { m.EditFindClick(); });
  });
  // The Cut command does what the keyboard cut does, undo record included.
  connect(EditCut, &QAction::triggered, this, [this] { key(EditorKey::ShiftDel); });
  connect(EditPaste, &QAction::triggered, this, [this] { withArea([](MemoEditor& m) { m.PasteClick(); }); });
  connect(EditCopy, &QAction::triggered, this, [this] { withArea([](MemoEditor& m) { m.CopyClick(); }); });

  setWindowTitle(fromRecordText(v.Caption));
  QFont font("Courier New");
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  font.setPointSize(v.FontSize);
  EditText->setFont(font);
  EditText->setLineWrapMode(QPlainTextEdit::NoWrap);
  EditText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  EditText->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  EditText->setPlainText(fromRecordText(logic_.Area.Text));
  EditText->setReadOnly(v.ReadOnly);
  EditText->installEventFilter(this);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, RecordColour(v.Colour));
  pal.setColor(QPalette::Base, RecordColour(v.Colour));
  setPalette(pal);
  EditText->setPalette(pal);

  OKbtn->setText(fromRecordText(v.OkCaption));
  CancelBtn->setText(fromRecordText(v.CancelCaption));
  CancelBtn->setVisible(v.CancelVisible);
  OKbtn->setAutoDefault(false);
  CancelBtn->setAutoDefault(false);
  connect(OKbtn, &QPushButton::clicked, this, &TEditForm::OKbtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &TEditForm::CancelBtnClick);

  setGeometry(v.Bounds.left, v.Bounds.top, std::max(200, v.Bounds.width), std::max(150, v.Bounds.height));
  lastBounds_ = geometry();
  Timer1->setInterval(500);
  connect(Timer1, &QTimer::timeout, this, &TEditForm::Timer1Timer);
  Timer1->start();
  EditText->setFocus();
}

void TEditForm::LayOut() {
  const int menuH = MainMenu->sizeHint().height();
  MainMenu->setGeometry(0, 0, width(), menuH);
  const int bw = 80, bh = 26;
  OKbtn->setGeometry(width() - 12 - bw, menuH + 4, bw, bh);
  CancelBtn->setGeometry(OKbtn->x() - 8 - bw, menuH + 4, bw, bh);
  EditText->setGeometry(0, menuH + kTextTop, width(), std::max(0, height() - menuH - kTextTop));
}

void TEditForm::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  LayOut();
}

void TEditForm::Timer1Timer() {
  const QRect g = geometry();
  if (g == lastBounds_) return;
  lastBounds_ = g;
  logic_.Resized({g.left(), g.top(), g.width(), g.height()});
}

void TEditForm::withArea(const std::function<void(MemoEditor&)>& call) {
  QTextCursor c = EditText->textCursor();
  const std::string before = toRecordText(EditText->toPlainText());
  logic_.Area.Text = before;
  logic_.Area.SelStart = c.selectionStart();
  logic_.Area.SelLength = c.selectionEnd() - c.selectionStart();
  call(logic_);
  if (logic_.view.Closed) {
    done(QDialog::Accepted);
    return;
  }
  if (logic_.Area.Text != before) {
    const int scroll = EditText->verticalScrollBar()->value();
    EditText->setPlainText(fromRecordText(logic_.Area.Text));
    EditText->verticalScrollBar()->setValue(scroll);
  }
  c = EditText->textCursor();
  c.setPosition(logic_.Area.SelStart);
  c.setPosition(logic_.Area.SelStart + logic_.Area.SelLength, QTextCursor::KeepAnchor);
  EditText->setTextCursor(c);
}

bool TEditForm::key(EditorKey k) {
  withArea([k](MemoEditor& m) { m.EditKeyDown(k); });
  return true;
}

bool TEditForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched != EditText || event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
  auto* ke = static_cast<QKeyEvent*>(event);
  const auto mods = ke->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
  const int k = ke->key();
  const std::string findText = ws_.notices.lines.size() >= 1069 ? ws_.notices.lines[1068] : std::string();
  const char findKey = findText.size() >= 2 ? static_cast<char>(std::toupper(static_cast<unsigned char>(findText[1]))) : 'F';
  if (k == Qt::Key_Backspace && mods == Qt::AltModifier) return key(EditorKey::AltBackspace);
  if (k == Qt::Key_Delete && mods == Qt::ShiftModifier) return key(EditorKey::ShiftDel);
  if (k == Qt::Key_Insert && mods == Qt::ControlModifier) return key(EditorKey::CtrlIns);
  if (k == Qt::Key_Insert && mods == Qt::ShiftModifier) return key(EditorKey::ShiftIns);
  if (k == Qt::Key_Escape) {
    CancelBtnClick();
    return true;
  }
  if (mods == Qt::ControlModifier && k == findKey) {
    EditFind->trigger();
    return true;
  }
  // Moving about changes nothing; keys that type or delete do.
  const bool changes = !ke->text().isEmpty() || k == Qt::Key_Backspace || k == Qt::Key_Delete ||
                       k == Qt::Key_Return || k == Qt::Key_Enter;
  const bool ctrlOnly = mods == Qt::ControlModifier;
  if ((changes && !ctrlOnly) || (ctrlOnly && (k == Qt::Key_X || k == Qt::Key_V || k == Qt::Key_Z || k == Qt::Key_Y)))
    logic_.EditKeyDown(EditorKey::Other);
  return false;
}

void TEditForm::OKbtnClick() {
  withArea([](MemoEditor& m) { m.OKbtnClick(); });
}

void TEditForm::CancelBtnClick() {
  withArea([](MemoEditor& m) { m.CancelBtnClick(); });
}

void TEditForm::reject() { CancelBtnClick(); }

void TEditForm::closeEvent(QCloseEvent* event) {
  if (logic_.view.Closed) {
    event->accept();
    return;
  }
  CancelBtnClick();
  if (logic_.view.Closed)
    event->accept();
  else
    event->ignore();
}

void RunMemoEditor(Workstation& ws, QWidget* board) {
  MemoEditor logic(ws);
  logic.FormShow(BoardReference(board));
  {
    TEditForm window(ws, logic, board);
    window.exec();
  }
  MemoClosed(ws);
}

}  // namespace egresso
