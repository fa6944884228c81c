#include "platform/printing_qt.h"

#include <QCoreApplication>
#include <QLibrary>

#include "platform/services.h"

namespace egresso {

Printing::Printing(Dialogs* dialogs, QString moduleFolder)
    : dialogs_(dialogs),
      moduleFolder_(moduleFolder.isEmpty() ? QCoreApplication::applicationDirPath() : std::move(moduleFolder)) {}

// One of the module's functions; null, after telling the user, when the
// module or the function cannot be found. A module once loaded stays
// loaded: the printers it made may outlive any one call.
template <typename Function>
Function Printing::resolve(const char* name) {
  QLibrary module(moduleFolder_ + QLatin1Char('/') + QLatin1String(kPrintModuleFile));
  auto function = reinterpret_cast<Function>(module.resolve(name));
  if (function == nullptr && dialogs_ != nullptr)
    dialogs_->messageBox(("Printing is not available: " + module.errorString()).toStdString(), BoxKind::Warning);
  return function;
}

ChosenPrinter Printing::ask(QWidget* parent, const PrintRequest& request) {
  ChosenPrinter chosen;
  if (auto ask = resolve<PrinterAskFunction>(kPrinterAsk)) chosen.printer.reset(ask(parent, request, &chosen.selectionOnly));
  return chosen;
}

std::unique_ptr<QPagedPaintDevice> Printing::named(const QString& name) {
  auto named = resolve<PrinterNamedFunction>(kPrinterNamed);
  return std::unique_ptr<QPagedPaintDevice>(named != nullptr ? named(name) : nullptr);
}

QStringList Printing::names() {
  auto names = resolve<PrinterNamesFunction>(kPrinterNames);
  return names != nullptr ? names() : QStringList();
}

QRect PrintableArea(const QPagedPaintDevice& printer) {
  return printer.pageLayout().paintRectPixels(printer.logicalDpiY());
}

}  // namespace egresso
