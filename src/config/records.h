// The two configuration records, kept as the exact bytes of their files so
// that every byte the program does not interpret is written back unchanged.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "storage/bytes.h"

namespace egresso {

// Offsets in the 6144-byte main configuration record (CFGMAIN.DAF).
namespace mcfg {
inline constexpr std::size_t Size = 6144;
inline constexpr std::size_t CreatedDay = 0;        // int16, reserved
inline constexpr std::size_t LastDateUsed = 2;      // int16 day number
inline constexpr std::size_t EmpInitials = 6;       // 50 x string[3]
inline constexpr std::size_t EmpNames = 206;        // 50 x string[20]
inline constexpr std::size_t GroupNames = 3256;     // 20 x string[3]
inline constexpr std::size_t GroupMembers = 3336;   // 20 x 15 x string[3]
inline constexpr std::size_t SuiteFlag1 = 4603;     // byte, reserved (1 in a new record)
inline constexpr std::size_t SuiteFlag2 = 4604;     // byte, reserved (1 in a new record)
inline constexpr std::size_t PasswordForAll = 4607;
inline constexpr std::size_t OneUserDate = 4608;
inline constexpr std::size_t MainUserMorning = 4609;
inline constexpr std::size_t SuiteTerms = 4628;     // 5 x string[15]
inline constexpr std::size_t ZoneReference = 4720;  // real48
inline constexpr std::size_t MainUserInitials = 4799;  // string[3]
inline constexpr std::size_t SuiteTerms2 = 4830;    // 8 x string[15]
inline constexpr std::size_t NoSignAllOut = 4958;
inline constexpr std::size_t OwnSignInOnly = 4959;
inline constexpr std::size_t ArchiveMessages = 4960;
inline constexpr std::size_t InOutLog = 4964;
inline constexpr std::size_t InOutLogShared = 4965;
inline constexpr std::size_t TraceLog = 4966;
inline constexpr std::size_t ScaleReal = 4967;      // real48, zero read as 1.0
inline constexpr std::size_t EeWord = 4973;         // int16 written by /EE=
inline constexpr std::size_t LockTimeout = 5033;    // int16 seconds
inline constexpr std::size_t ReportsForUser = 5035;
inline constexpr std::size_t DailyOffset = 5037;    // int8 HHMM
inline constexpr std::size_t HostTimerSeconds = 5038;   // uint8
inline constexpr std::size_t BoardTimerSeconds = 5043;  // uint8
inline constexpr std::size_t LockedConfigReads = 5044;
inline constexpr std::size_t StaggerRefresh = 5045;
inline constexpr int Employees = 50;
inline constexpr int Groups = 20;
inline constexpr int GroupSize = 15;
}  // namespace mcfg

// Offsets in the 1024-byte personal configuration record (CFG<initials>.DAF).
namespace pcfg {
inline constexpr std::size_t Size = 1024;
inline constexpr std::size_t Colors = 0;            // 10 x int32 colour
inline constexpr std::size_t WorkDayBegin = 40;     // int16 HHMM
inline constexpr std::size_t WorkDayEnd = 42;       // int16 HHMM
inline constexpr std::size_t SuiteLong = 44;        // int32, reserved (127 in a new record)
inline constexpr std::size_t PartitionMinutes = 91;
inline constexpr std::size_t MaintLevel = 93;
inline constexpr std::size_t MaxBeeps = 94;         // int16
inline constexpr std::size_t UserPassword = 98;     // string[8]
inline constexpr std::size_t NumericDates = 107;
inline constexpr std::size_t MondayFirst = 108;
inline constexpr std::size_t EuroFormat = 109;
inline constexpr std::size_t Byte112 = 112;         // reserved, written by /12
inline constexpr std::size_t RequestPassword = 136;
inline constexpr std::size_t Byte140 = 140;         // reserved, written by /CD
inline constexpr std::size_t UserLastDate = 141;    // int16 day number
inline constexpr std::size_t Byte158 = 158;         // reserved, written by /ET=
inline constexpr std::size_t HomePlacement = 160;   // 4 x int16 left, top, width, height
inline constexpr std::size_t CalcRows = 169;        // int16
inline constexpr std::size_t SuiteColors = 171;     // 17 x int32 colour, reserved
inline constexpr std::size_t PersonColors = 239;
inline constexpr std::size_t BoardPlacement = 240;  // 4 x int16 width, height, top, left
inline constexpr std::size_t EditorPlacement = 424; // 4 x int16 top, left, width, height
inline constexpr std::size_t CalcPlacement = 432;   // 3 x int16 top, left, height
inline constexpr std::size_t PanelArea = 438;       // 4 x int16 height, width, top, left
inline constexpr std::size_t DialMode = 879;        // char
inline constexpr std::size_t ModemPort = 880;       // char
inline constexpr std::size_t DialPrefix = 881;      // string[19]
inline constexpr std::size_t AlarmSound = 901;      // string[40]
}  // namespace pcfg

// A fixed-size record held as its file bytes, with typed access by offset.
template <std::size_t N>
struct RawRecord {
  std::array<std::uint8_t, N> bytes{};

  std::uint8_t u8(std::size_t off) const { return bytes[off]; }
  std::int8_t i8(std::size_t off) const { return static_cast<std::int8_t>(bytes[off]); }
  std::int16_t i16(std::size_t off) const { return getI16(bytes, off); }
  std::int32_t i32(std::size_t off) const { return getI32(bytes, off); }
  double real(std::size_t off) const { return getReal48(bytes, off); }
  std::string str(std::size_t off, std::size_t max) const { return getPString(bytes, off, max); }
  bool flag(std::size_t off) const { return bytes[off] != 0; }

  void setU8(std::size_t off, std::uint8_t v) { bytes[off] = v; }
  void setI16(std::size_t off, std::int16_t v) { putI16(bytes, off, v); }
  void setI32(std::size_t off, std::int32_t v) { putI32(bytes, off, v); }
  void setReal(std::size_t off, double v) { putReal48(bytes, off, v); }
  void setStr(std::size_t off, std::size_t max, std::string_view v) { putPString(bytes, off, max, v); }
  void clear() { bytes.fill(0); }
};

struct MainConfig : RawRecord<mcfg::Size> {
  // Employee slot 1..50, group 1..20, member 1..15. Any other number (a
  // UserSlot of 0 for a user who is not in the table, say) names nobody:
  // it reads as empty and is never written, so it cannot reach the bytes
  // of a neighbouring field or beyond the record.
  static constexpr bool isSlot(int slot) { return slot >= 1 && slot <= mcfg::Employees; }
  std::string empInitials(int slot) const { return isSlot(slot) ? str(initialsAt(slot), 3) : std::string(); }
  std::string empName(int slot) const { return isSlot(slot) ? str(nameAt(slot), 20) : std::string(); }
  void setEmpInitials(int slot, std::string_view v) {
    if (isSlot(slot)) setStr(initialsAt(slot), 3, v);
  }
  void setEmpName(int slot, std::string_view v) {
    if (isSlot(slot)) setStr(nameAt(slot), 20, v);
  }
  std::string groupName(int group) const {
    return group >= 1 && group <= mcfg::Groups ? str(mcfg::GroupNames + 4 * static_cast<std::size_t>(group - 1), 3)
                                                : std::string();
  }
  std::string groupMember(int group, int member) const {
    if (group < 1 || group > mcfg::Groups || member < 1 || member > mcfg::GroupSize) return {};
    return str(mcfg::GroupMembers + 60 * static_cast<std::size_t>(group - 1) + 4 * static_cast<std::size_t>(member - 1), 3);
  }
  // The employee slot 1..50 holding these initials, the last one when two
  // share them; 0 for empty initials or none found.
  int slotOf(std::string_view initials) const {
    if (initials.empty()) return 0;
    int slot = 0;
    for (int i = 1; i <= mcfg::Employees; ++i)
      if (empInitials(i) == initials) slot = i;
    return slot;
  }
  std::string mainUserInitials() const { return str(mcfg::MainUserInitials, 3); }

 private:
  static constexpr std::size_t initialsAt(int slot) { return mcfg::EmpInitials + 4 * static_cast<std::size_t>(slot - 1); }
  static constexpr std::size_t nameAt(int slot) { return mcfg::EmpNames + 21 * static_cast<std::size_t>(slot - 1); }
};

struct PersonalConfig : RawRecord<pcfg::Size> {
  // Colour 0..9; any other number reads as 0 (black).
  std::int32_t color(int i) const { return i >= 0 && i < 10 ? i32(pcfg::Colors + 4 * static_cast<std::size_t>(i)) : 0; }
  // PanelArea and the placements: index 0..3 in the field's stored order;
  // any other index reads as 0.
  std::int16_t panelArea(int i) const { return quad(pcfg::PanelArea, i); }
  std::int16_t homePlacement(int i) const { return quad(pcfg::HomePlacement, i); }

 private:
  std::int16_t quad(std::size_t field, int i) const {
    return i >= 0 && i < 4 ? i16(field + 2 * static_cast<std::size_t>(i)) : std::int16_t{0};
  }
};

// A colour value as the records hold it: red in the lowest byte, top byte 0.
constexpr std::int32_t RGB(int r, int g, int b) { return (r & 0xFF) | (g & 0xFF) << 8 | (b & 0xFF) << 16; }

}  // namespace egresso
