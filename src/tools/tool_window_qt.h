// What the accessory windows share: the area they are placed in and the
// record colours.
#pragma once

#include <QColor>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cstdint>

#include "tools/accessory_state.h"

namespace egresso {

// The board's left, top, width - 8 and height - 4 once it is on screen;
// else the screen's work area.
inline ToolRect BoardReference(const QWidget* board) {
  if (board != nullptr && board->isVisible()) {
    const QRect g = board->frameGeometry();
    return {g.left(), g.top(), g.width() - 8, g.height() - 4};
  }
  QScreen* screen = QGuiApplication::primaryScreen();
  const QRect a = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  return {a.left(), a.top(), a.width(), a.height()};
}

// A colour value of the records: red in the lowest byte.
inline QColor RecordColour(std::int32_t v) {
  const auto u = static_cast<std::uint32_t>(v);
  return QColor(static_cast<int>(u & 0xFF), static_cast<int>((u >> 8) & 0xFF), static_cast<int>((u >> 16) & 0xFF));
}

}  // namespace egresso
