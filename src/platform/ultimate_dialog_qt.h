// The universal three-button dialog window. Its geometry comes from the core
// layout rules (startup/dialog_layout.h); this file only builds the widgets.
#pragma once

#include <QDialog>
#include <QFont>
#include <QString>

#include "text/dialog_layout.h"

class QLabel;
class QPushButton;

namespace egresso {

// Text measurement with the fonts the dialog uses.
class QtDialogMetrics : public DialogMetrics {
 public:
  int textWidth(const std::string& text, const DialogFont& font) override;
  int wrappedHeight(const std::string& text, int width, const DialogFont& font) override;
};

class TUltimateDialog : public QDialog {
  Q_OBJECT
 public:
  // Texts are Windows-1252 as everywhere in the program. nonClient is the
  // title bar and frame allowance already counted in layout.height.
  TUltimateDialog(const DialogLayout& layout, const std::string& caption, const std::string (&buttons)[3],
                  int nonClient, QWidget* parent = nullptr);

  QLabel* label() const { return label_; }
  // A second line in a smaller, paler font under the message (codes for
  // whoever looks after the program); the dialog grows to hold it.
  void addDetail(const std::string& text);
  QLabel* detail() const { return detail_; }
  QPushButton* button(int n) const { return buttons_[n - 1]; }  // n = 1..3

  static QFont fontFor(const DialogFont& font);

 private:
  QLabel* label_ = nullptr;
  QLabel* detail_ = nullptr;
  QPushButton* buttons_[3] = {nullptr, nullptr, nullptr};
};

}  // namespace egresso
