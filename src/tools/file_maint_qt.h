// The window of the file-maintenance dialog in mode "O"; the work is done
// by FileMaintDialog (tools/file_maint.h), which reports its progress here.
#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace egresso {

class FileMaintDialog;
struct Workstation;

class TFileMaint : public QDialog {
  Q_OBJECT
 public:
  TFileMaint(Workstation& ws, FileMaintDialog& logic, QWidget* parent = nullptr);

  QLabel* Label1;
  QLabel* Label2;
  QLabel* RcrdNum;
  QProgressBar* Progress;
  QPushButton* OKbtn;
  QPushButton* CancelBtn;

 public slots:
  void OKbtnClick();
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void showView();

  FileMaintDialog& logic_;
};

// A restore from the board's File menu, with its progress in a small window.
void RunRestore(Workstation& ws, int n, QWidget* parent);

}  // namespace egresso
