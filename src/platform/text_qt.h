// Record text (Windows-1252) at the boundary with the windows.
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "platform/codepage.h"

namespace egresso {

inline QString fromRecordText(std::string_view text) { return QString::fromStdString(cp1252ToUtf8(text)); }

// For labels and boxes: Windows line breaks become plain newlines.
inline QString screenText(std::string_view text) {
  QString s = fromRecordText(text);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  s.replace(QChar('\r'), QChar('\n'));
  return s;
}

inline std::string toRecordText(const QString& text) { return utf8ToCp1252(text.toStdString()); }

}  // namespace egresso
