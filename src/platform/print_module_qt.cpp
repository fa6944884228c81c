// The loadable print module (see print_module_qt.h): the print dialog and
// printers of Qt Print Support.
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <memory>

#include "platform/print_module_qt.h"

extern "C" {

Q_DECL_EXPORT QPagedPaintDevice* egresso_printer_ask(QWidget* parent, const egresso::PrintRequest& request,
                                                     bool* selectionOnly) {
  auto printer =
      std::make_unique<QPrinter>(request.highResolution ? QPrinter::HighResolution : QPrinter::ScreenResolution);
  if (request.portrait) printer->setPageOrientation(QPageLayout::Portrait);
  if (!request.documentName.isEmpty()) printer->setDocName(request.documentName);
  QPrintDialog dialog(printer.get(), parent);
  if (!request.title.isEmpty()) dialog.setWindowTitle(request.title);
  dialog.setOption(QAbstractPrintDialog::PrintSelection, request.offerSelection);
  if (dialog.exec() != QDialog::Accepted) return nullptr;
  if (selectionOnly != nullptr) *selectionOnly = dialog.printRange() == QAbstractPrintDialog::Selection;
  return printer.release();
}

Q_DECL_EXPORT QPagedPaintDevice* egresso_printer_named(const QString& name) {
  auto* printer = new QPrinter;
  if (!name.isEmpty()) printer->setPrinterName(name);
  return printer;
}

Q_DECL_EXPORT QStringList egresso_printer_names() { return QPrinterInfo::availablePrinterNames(); }
}
