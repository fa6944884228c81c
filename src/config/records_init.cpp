#include "config/records_init.h"

#include <algorithm>
#include <array>

#include "text/notices.h"
#include "core/workstation.h"

namespace egresso {

void InitMainConfig(Workstation& ws) {
  // The trace flag belongs to this run, not to the record being replaced:
  // a "/TB+" given before the first read must keep tracing the repair.
  const bool trace = ws.mcfg.flag(mcfg::TraceLog);
  MainConfig& m = ws.mcfg;
  m.clear();
  m.setI16(mcfg::CreatedDay, ws.Today);
  m.setU8(mcfg::SuiteFlag1, 1);
  m.setU8(mcfg::SuiteFlag2, 1);
  m.setU8(mcfg::OneUserDate, 1);
  static constexpr std::array<int, 5> kTerms{137, 127, 129, 128, 136};
  for (std::size_t i = 0; i < kTerms.size(); ++i) m.setStr(mcfg::SuiteTerms + 16 * i, 15, MessageText(ws, kTerms[i]));
  m.setReal(mcfg::ZoneReference, -99.0);
  for (int i = 0; i < 8; ++i) {
    std::string text = MessageText(ws, 831 + i);
    m.setStr(mcfg::SuiteTerms2 + 16 * static_cast<std::size_t>(i), 15, text.size() > 2 ? text.substr(2) : "");
  }
  m.setU8(mcfg::BoardTimerSeconds, 4);
  m.setU8(mcfg::TraceLog, trace ? 1 : 0);
}

void InitPersonalConfig(Workstation& ws) {
  PersonalConfig& p = ws.pcfg;
  p.clear();
  const std::array<std::int32_t, 10> colors{RGB(0, 0, 0),     RGB(255, 255, 255),         RGB(0, 0, 0),
                                            RGB(255, 255, 255), ws.options.Display.ButtonFace, RGB(0, 0, 0),
                                            RGB(255, 255, 0), RGB(255, 0, 0),             RGB(0, 0, 255),
                                            RGB(0, 128, 0)};
  for (std::size_t i = 0; i < colors.size(); ++i) p.setI32(pcfg::Colors + 4 * i, colors[i]);
  p.setI16(pcfg::WorkDayBegin, 800);
  p.setI16(pcfg::WorkDayEnd, 1730);
  p.setI32(pcfg::SuiteLong, 127);
  p.setU8(pcfg::MaintLevel, 2);
  p.setI16(pcfg::MaxBeeps, 2);
  // Reserved bytes of the other suite programs that a new record sets to 1.
  for (std::size_t off : {110, 112, 114, 120, 125, 126, 128, 129, 130, 131, 137, 138, 140, 155, 251, 872, 876, 878, 942})
    p.setU8(off, 1);

  const int w = ws.options.Display.ScreenWidth;
  const int h = ws.options.Display.ScreenHeight;
  const std::array<int, 4> home{std::min(std::max(1, w - 639), 2), std::min(std::max(h - 479, 1), 2),
                                std::max(640, w - 4), std::max(480, h - 4)};
  for (std::size_t i = 0; i < home.size(); ++i)
    p.setI16(pcfg::HomePlacement + 2 * i, static_cast<std::int16_t>(std::clamp(home[i], -32768, 32767)));

  const std::array<std::int32_t, 17> suiteColors{
      RGB(128, 0, 0), RGB(128, 128, 0), RGB(128, 128, 0), RGB(0, 0, 128),   RGB(128, 0, 0),    RGB(128, 128, 0),
      RGB(0, 128, 128), RGB(0, 0, 0),   RGB(0, 0, 128),   RGB(255, 0, 0),   RGB(0, 128, 0),    RGB(0, 0, 0),
      RGB(0, 0, 0),   RGB(128, 128, 128), RGB(0, 0, 0),   RGB(192, 192, 192), RGB(0, 0, 0)};
  for (std::size_t i = 0; i < suiteColors.size(); ++i) p.setI32(pcfg::SuiteColors + 4 * i, suiteColors[i]);

  p.setU8(pcfg::DialMode, 'T');
  p.setStr(pcfg::AlarmSound, 40, "alarm.wav");
}

}  // namespace egresso
