// Printers are made in a module of their own, built with Qt Print Support.
// The program loads the module when it first prints: a start that prints
// nothing does not load, relocate and map that library. The windows paint
// on the page device the module hands them (a printer), as on any other.
//
// The module is reached through plain functions, so that no class of its
// own crosses between the program and the module; what it hands over is a
// toolkit page device, which the program deletes when the job is done.
#pragma once

#include <QPagedPaintDevice>
#include <QString>
#include <QStringList>

class QWidget;

namespace egresso {

// The module's file, beside the program.
inline constexpr char kPrintModuleFile[] = "libegresso_print.so";

// What the print dialog asks for.
struct PrintRequest {
  QString title;                // the dialog's title; empty for the toolkit's own
  QString documentName;         // the job's name in the print queue
  bool highResolution = false;  // the printer's own resolution, not the screen's
  bool portrait = false;        // the page turned upright before the dialog shows
  bool offerSelection = false;  // the dialog offers to print only what is selected
};

// The module's functions, by name and type.
// Shows the print dialog over parent; the printer chosen, or null when the
// user cancels. selectionOnly says whether only the selection is wanted.
inline constexpr char kPrinterAsk[] = "egresso_printer_ask";
using PrinterAskFunction = QPagedPaintDevice* (*)(QWidget* parent, const PrintRequest& request, bool* selectionOnly);
// The printer of that name, or the system's default one when name is empty.
inline constexpr char kPrinterNamed[] = "egresso_printer_named";
using PrinterNamedFunction = QPagedPaintDevice* (*)(const QString& name);
// The names of the printers the system knows.
inline constexpr char kPrinterNames[] = "egresso_printer_names";
using PrinterNamesFunction = QStringList (*)();

}  // namespace egresso
