// The print dialog and printers, made by the print module (see
// print_module_qt.h), which is loaded with the first print. When it cannot
// be loaded the user is told why and nothing is printed.
#pragma once

#include <QPagedPaintDevice>
#include <QRect>
#include <QString>
#include <QStringList>
#include <memory>

#include "platform/print_module_qt.h"

class QWidget;

namespace egresso {

class Dialogs;

struct ChosenPrinter {
  std::unique_ptr<QPagedPaintDevice> printer;  // null when the user cancelled or printing is not available
  bool selectionOnly = false;
};

class Printing {
 public:
  // dialogs (may be null) tells the user when the module is missing; the
  // module is looked for in moduleFolder, the program's own when empty.
  explicit Printing(Dialogs* dialogs, QString moduleFolder = QString());

  ChosenPrinter ask(QWidget* parent, const PrintRequest& request);
  // The printer of that name (the default one for an empty name); null when
  // printing is not available.
  std::unique_ptr<QPagedPaintDevice> named(const QString& name);
  // The names of the system's printers; none when printing is not available.
  QStringList names();

 private:
  template <typename Function>
  Function resolve(const char* name);

  Dialogs* dialogs_;
  QString moduleFolder_;
};

// The part of the page a printer can print on, in its own pixels.
QRect PrintableArea(const QPagedPaintDevice& printer);

}  // namespace egresso
