#include "messages/entry_identity.h"

#include "board/board_lines.h"
#include "core/workstation.h"
#include "messages/board_files.h"
#include "messages/board_record.h"
#include "text/notices.h"
#include "storage/record_io.h"

namespace egresso {

EntryIdentity IdentityOf(const BoardRecordView& rec, std::int16_t indexKey, const std::string& slotInitials) {
  EntryIdentity id;
  id.known = true;
  id.who = rec.who();
  id.madeDay = rec.madeDay();
  id.madeTime = rec.madeTime();
  // A location slot whose record names nobody is still that employee's.
  if (id.who.empty()) id.who = slotInitials;
  id.key = indexKey;
  return id;
}

EntryIdentity CurrentEntry(Workstation& ws, int r) {
  BulBrdRcrd rec;
  rec.clear();
  {
    RecordFile f;
    if (r >= 0 && f.open(ws.paths.BoardDataPath, brd::Size, RecordFile::Mode::ReadOnly) == io::Ok &&
        r < f.recordCount() && f.read(r, rec.bytes) != io::Ok)
      rec.clear();
  }
  BoardIndexEntry e;
  if (!ReadBoardIndexEntry(ws.paths.BoardIndexPath, r, e)) e = BoardIndexEntry{};
  const bool locations = ws.ListMode == 1;
  const std::string slotInitials = locations && r >= 1 && r <= brd::Slots ? ws.mcfg.empInitials(r) : std::string();
  return IdentityOf(rec.view(), e.Key, slotInitials);
}

bool SameEntry(Workstation& ws, int r, const EntryIdentity& expected) {
  return !expected.known || CurrentEntry(ws, r) == expected;
}

EntryIdentity ListedEntry(const Workstation& ws, int r) {
  for (const auto* list : {&ws.board.BBSlist, &ws.board.BBSoldList})
    for (const BoardLine& line : *list)
      if (RecordNumberOfLine(line.text) == r) return line.entry;
  return {};
}

void TellEntryChanged(Workstation& ws) {
  UltimateDialog(ws, MessageText(ws, kEntryChangedNotice), -1, "", "", MessageText(ws, 29), 3);
}

}  // namespace egresso
