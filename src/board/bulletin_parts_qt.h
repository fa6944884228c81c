// What the board window's source files share: the colours of its lists,
// the drag format of a line, captions with a fallback, the memo glyph.
#pragma once

#include <QColor>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QString>

#include "board/board_list.h"
#include "core/workstation.h"
#include "platform/colour_qt.h"
#include "platform/text_qt.h"
#include "text/notices.h"

namespace egresso::bulletin {

// A configuration whose list and text colours are the same would show
// nothing; the system's colours stand in for both then.
inline bool OwnListColours(Workstation& ws) { return ListColour(ws) != ListTextColour(ws); }
inline QColor ListBackground(Workstation& ws, const QPalette& pal) {
  // The archive stands out in a colour of its own.
  if (ws.ListMode == 0 && ws.ArchiveView && static_cast<std::uint32_t>(ws.pcfg.color(9)) != ListTextColour(ws))
    return FromBgr(static_cast<std::uint32_t>(ws.pcfg.color(9)));
  return OwnListColours(ws) ? FromBgr(ListColour(ws)) : pal.color(QPalette::Base);
}

// Draws a line in the painter's fixed-pitch face at its baseline, its glyphs
// one advance apart. Measuring the advances glyph by glyph, as text drawing
// does, loads every glyph twice (once for its width, once for its image);
// placed here they are loaded once, to the same pixels. A character the
// face lacks is left to text drawing, which finds a face that has it.
void DrawFixedPitchLine(QPainter& painter, const QPoint& baseline, const QString& text);

// The drag of a list line carries its record number and its list.
inline constexpr const char* kLineMime = "application/x-egresso-line";
inline QColor LineColour(Workstation& ws, const QPalette& pal, std::uint32_t colour) {
  return OwnListColours(ws) ? FromBgr(colour) : pal.color(QPalette::Text);
}

// The notice text, or the form's own default caption when the notice file
// has none for that number.
inline QString Caption(Workstation& ws, int number, const char* fallback) {
  std::string t = MessageText(ws, number);
  return t.empty() ? QString::fromUtf8(fallback) : fromRecordText(t);
}

inline QPixmap MakeMemoGlyph() {
  QPixmap pm(16, 16);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setPen(QColor(90, 90, 90));
  p.setBrush(QColor(255, 250, 200));
  p.drawRect(2, 1, 11, 13);
  p.setPen(QColor(120, 120, 160));
  for (int y = 4; y <= 11; y += 3) p.drawLine(4, y, 11, y);
  return pm;
}

}  // namespace egresso::bulletin
