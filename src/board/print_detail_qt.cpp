#include "board/print_detail_qt.h"

#include <QFont>
#include <QPainter>

#include "board/print_detail.h"
#include "platform/printing_qt.h"
#include "platform/text_qt.h"

namespace egresso {

namespace {

QFont PrinterFont(const char* family, double points, bool bold, bool fixed) {
  QFont f(family);
  if (fixed) {
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
  }
  f.setPointSizeF(points);
  f.setBold(bold);
  return f;
}

void DrawPrintedHeading(QPainter& p, const PrintHeading& h, int pageWidth, int pageHeight) {
  const QFont text = PrinterFont("Liberation Sans", 10, false, false);
  p.setFont(text);
  p.drawText(QPoint(10, 10 + p.fontMetrics().ascent()), fromRecordText(h.page));
  const int y1 = pageHeight * 25 / 254;
  const int y2 = pageHeight * 5 / 41;
  p.drawLine(0, y1, pageWidth, y1);
  p.drawLine(0, y2, pageWidth, y2);
  // Centred by its own width; the estimate of the original layout (page
  // height / 222 per character) only stands in for the width it cannot measure.
  p.setFont(PrinterFont("Liberation Sans", 15, true, false));
  const QString title = fromRecordText(h.title);
  const int titleTop = pageHeight / 200;
  p.drawText(QPoint((pageWidth - p.fontMetrics().horizontalAdvance(title)) / 2, titleTop + p.fontMetrics().ascent()),
             title);
  if (!h.userLine.empty()) {
    const QString user = fromRecordText(h.userLine);
    p.drawText(QPoint((pageWidth - p.fontMetrics().horizontalAdvance(user)) / 2,
                      pageHeight / 32 + p.fontMetrics().ascent()),
               user);
  }
  p.setFont(PrinterFont("Liberation Mono", 11, false, true));
  p.drawText(QPoint(4, pageHeight / 10 + p.fontMetrics().ascent()), fromRecordText(h.columns));
}

}  // namespace

bool PrintBoardLines(Workstation& ws, QPagedPaintDevice& printer, const std::vector<std::string>& lines) {
  printer.setPageOrientation(QPageLayout::Portrait);
  QPainter p;
  if (!p.begin(&printer)) return false;
  const QRect page = PrintableArea(printer);
  const int w = page.width();
  const int h = page.height();
  const auto pages = PrintDetailPages(lines);
  const QFont lineFont = PrinterFont("Liberation Mono", 11, false, true);
  int number = 0;
  // An empty list still prints its heading.
  const std::size_t count = std::max<std::size_t>(pages.size(), 1);
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) printer.newPage();
    DrawPrintedHeading(p, PrintDetailHeading(ws, ++number), w, h);
    if (i >= pages.size()) break;
    p.setFont(lineFont);
    const int ascent = p.fontMetrics().ascent();
    for (std::size_t j = 0; j < pages[i].size(); ++j) {
      const int y = static_cast<int>(h * kPrintFirstLine + static_cast<double>(j) * h * kPrintLineStep);
      p.drawText(QPoint(4, y + ascent), fromRecordText(pages[i][j]));
    }
  }
  return p.end();
}

}  // namespace egresso
