#include "board/roll_call_qt.h"

#include <QFont>
#include <QPainter>

#include <algorithm>
#include <array>

#include "board/board_data.h"
#include "platform/printing_qt.h"

namespace egresso {

namespace {

QFont SansFont(double points, bool bold) {
  QFont f("Liberation Sans");
  f.setPointSizeF(points);
  f.setBold(bold);
  return f;
}

QString Qs(const std::string& utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

// Column starts as parts of the page width: tick box, name, in/out, where,
// back, signed out by.
constexpr std::array<double, 6> kColumns{0.0, 0.04, 0.30, 0.38, 0.68, 0.84};

}  // namespace

bool PrintRollCall(Workstation& ws, QPagedPaintDevice& printer, const BoardSnapshot& s) {
  printer.setPageOrientation(QPageLayout::Portrait);
  QPainter p;
  if (!p.begin(&printer)) return false;
  const QRect page = PrintableArea(printer);
  const int w = page.width();
  const int h = page.height();
  const int count = static_cast<int>(s.entries.size());
  const int pages = std::max(1, (count + kRollCallPerPage - 1) / kRollCallPerPage);
  const int rowHeight = h * 86 / 100 / (kRollCallPerPage + 1);
  const QString taken = Qs(RollCallTitle(ws, s));
  const QString inBuilding = Qs(InBuildingText(s));
  const std::array<const char*, 6> headings{"", "Name", "In/out", "Where", "Back", "Last change"};

  for (int pageNo = 0; pageNo < pages; ++pageNo) {
    if (pageNo > 0) printer.newPage();
    p.setPen(Qt::black);
    p.setFont(SansFont(16, true));
    int y = p.fontMetrics().ascent();
    p.drawText(QPoint(0, y), taken);
    p.setFont(SansFont(12, true));
    const QString pageText = QString("Page %1 of %2").arg(pageNo + 1).arg(pages);
    p.drawText(QPoint(w - p.fontMetrics().horizontalAdvance(pageText), y), pageText);
    y += p.fontMetrics().height() * 3 / 2;
    p.drawText(QPoint(0, y), inBuilding);
    y += p.fontMetrics().height() / 2;
    p.drawLine(0, y, w, y);

    const int tableTop = y + rowHeight / 2;
    p.setFont(SansFont(8, true));
    const int textLift = (rowHeight - p.fontMetrics().height()) / 2 + p.fontMetrics().descent();
    for (std::size_t c = 0; c < headings.size(); ++c)
      p.drawText(QPoint(static_cast<int>(kColumns[c] * w), tableTop + rowHeight - textLift), headings[c]);
    p.drawLine(0, tableTop + rowHeight, w, tableTop + rowHeight);

    const int first = pageNo * kRollCallPerPage;
    const int last = std::min(count, first + kRollCallPerPage);
    for (int i = first; i < last; ++i) {
      const BoardEntry& e = s.entries[static_cast<std::size_t>(i)];
      const int top = tableTop + rowHeight * (i - first + 1);
      const int base = top + rowHeight - textLift;
      // A box to tick when the employee has been seen at the assembly point.
      const int box = rowHeight * 6 / 10;
      p.setPen(QPen(Qt::black, std::max(1, box / 12)));
      p.drawRect(0, top + (rowHeight - box) / 2, box, box);
      p.setPen(QPen(QColor(190, 190, 190), 1));
      p.drawLine(0, top + rowHeight, w, top + rowHeight);
      p.setPen(Qt::black);
      p.setFont(SansFont(9, true));
      p.drawText(QPoint(static_cast<int>(kColumns[1] * w), base), Qs(e.name));
      p.drawText(QPoint(static_cast<int>(kColumns[2] * w), base), e.out ? "OUT" : "in");
      p.setFont(SansFont(9, false));
      const QString where = Qs(e.destination);
      const int whereWidth = static_cast<int>((kColumns[4] - kColumns[3]) * w) - 8;
      p.drawText(QPoint(static_cast<int>(kColumns[3] * w), base),
                 p.fontMetrics().elidedText(where, Qt::ElideRight, whereWidth));
      if (e.out) {
        const std::string back = ShownDate(ws, e.returnDay) + " " + ShownTime(ws, e.returnTime);
        p.drawText(QPoint(static_cast<int>(kColumns[4] * w), base), Qs(back).trimmed());
      }
      if (!e.changedBy.empty()) {
        const std::string by = e.changedBy + " " + ShownDate(ws, e.changedDay) + " " + ShownTime(ws, e.changedTime);
        p.drawText(QPoint(static_cast<int>(kColumns[5] * w), base), Qs(by).trimmed());
      }
    }
  }
  return p.end();
}

}  // namespace egresso
