// Colours as the configuration records store them: 0x00BBGGRR.
#pragma once

#include <QColor>
#include <cstdint>

namespace egresso {

inline QColor FromBgr(std::uint32_t v) { return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF); }

}  // namespace egresso
