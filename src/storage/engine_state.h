// Buffers and flags of the record-file engine (calendar and client sets).
// A record is always read into and written from these buffers; callers fill
// or inspect them around each call.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "storage/record_io.h"

namespace egresso {

inline constexpr std::size_t kCalRecordSize = 1024;
inline constexpr std::size_t kCalIndexPageSize = 16384;
inline constexpr std::size_t kQuickRecordSize = 151;
inline constexpr std::size_t kKeyEntrySize = 13;
inline constexpr std::size_t kClientRecordSize = 2048;
inline constexpr std::size_t kClientIndexEntrySize = 15;
inline constexpr std::size_t kClientNameEntrySize = 31;

// What the repeating-entry test is told about the day it checks.
struct RepeatDayFacts {
  int day = 0;          // day number
  int dayOfMonth = 0;   // 1..31
  int month = 0;        // 1..12
  int weekday = 0;      // 1 = Monday .. 7 = Sunday
  int weekOfMonth = 0;  // (dayOfMonth - 1) / 7 + 1
  int daysInMonth = 0;
};

// One repeating schedule entry, held as its quick-list summary.
using RepeatEntry = std::array<std::uint8_t, kQuickRecordSize>;
// Answers whether a repeating entry falls on a day. The rules belong to the
// calendar logic that fills the table.
using RepeatTest = std::function<bool(const RepeatEntry&, const RepeatDayFacts&)>;
inline constexpr std::size_t kMaxRepeatEntries = 512;

struct EngineState {
  std::array<std::uint8_t, kCalRecordSize> CalRecord{};
  std::array<std::uint8_t, kCalIndexPageSize> CalIndexPage{};
  std::array<std::uint8_t, kQuickRecordSize> QuickRecord{};
  std::array<std::uint8_t, kKeyEntrySize> KeyEntry{};
  std::array<std::uint8_t, kClientRecordSize> ClientRecord{};
  std::array<std::uint8_t, kClientIndexEntrySize> ClientIndexEntry{};
  std::array<std::uint8_t, kClientNameEntrySize> ClientNameEntry{};

  std::int32_t LastCalRecord = 0;  // last record number of the calendar data file, set by every read
  bool KeepCalOpen = false;        // a bulk scan keeps the data and index files open
  bool LogMode = false;            // the calendar files are the current log set, not SCHED
  int ClientKind = 0;              // 0 project clients, 1 phone book, 2 payees

  // The first failing I/O result of the last engine operation (0 = it
  // succeeded) and the tag it was reported with, for callers that must know.
  int LastIoResult = 0;
  std::string LastIoTag;

  // The files the calendar and client operations are bound to.
  std::string CalDataName, CalIndexName, CalKeyName, CalQuickName;
  std::string ClientDataName, ClientIndexName, ClientNamesName;
  // Open only while KeepCalOpen is set (and for the data file after a write
  // made during a scan).
  RecordFile CalDataFile, CalIndexFile, ClientDataFile;

  // The lines built by LoadClientList and the record number of each line.
  std::vector<std::string> ClientList;
  std::vector<std::int32_t> ClientListRecords;

  // Repeating schedule entries that count as non-working days when a date
  // is moved by working days; empty unless file maintenance loads them.
  std::vector<RepeatEntry> RepeatTable;
  RepeatTest RepeatFallsOn;
};

}  // namespace egresso
