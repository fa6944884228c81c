// A data folder with staff, the program's own notice texts and helpers to
// open the sign out and message form as the board does.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "board/board_world.h"
#include "messages/form.h"
#include "config/notices_file.h"
#include "text/notices.h"
#include "storage/notify_file.h"

namespace egresso::test {

class FormWorld : public BoardWorld {
 public:
  // base: a folder on a file share to make the data folder in (see BoardWorld).
  explicit FormWorld(const std::string& user = "ANN", const std::filesystem::path& base = {})
      : BoardWorld(user, base) {
    ws.paths.NoticesPath = std::string(EGRESSO_SOURCE_DIR) + "/data/NOTICES.TXT";
    LoadNotices(ws);
    // A sales group with two employees and one who left.
    ws.mcfg.setStr(mcfg::GroupNames, 3, "SAL");
    ws.mcfg.setStr(mcfg::GroupMembers, 3, "BOB");
    ws.mcfg.setStr(mcfg::GroupMembers + 4, 3, "CLA");
    ws.mcfg.setStr(mcfg::GroupMembers + 8, 3, "OLD");
    saveConfig();
    allIn();
  }

  std::unique_ptr<Workstation> other(const std::string& user) {
    auto o = station(user);
    o->notices = ws.notices;
    return o;
  }

  // What the board hands over: a new record ('N'), or record n ('E').
  static void request(Workstation& w, int listMode, char command, int record = 0, int preselected = 0) {
    mode(w, listMode);
    w.form.FormCommand = command;
    w.form.OpenRecordNumber = record;
    w.form.PreselectedSlot = preselected;
  }

  static std::unique_ptr<EgressoForm> show(Workstation& w, int listMode, char command, int record = 0,
                                           int preselected = 0) {
    request(w, listMode, command, record, preselected);
    auto form = std::make_unique<EgressoForm>(w);
    form->FormShow();
    return form;
  }

  // A new message saved through the form; the record number it got.
  static int send(Workstation& w, const std::string& to, const std::string& subject, const std::string& text) {
    auto form = show(w, 0, 'N');
    form->f.EmpIn = to;
    form->f.ReturnTime = subject;
    form->f.Location = text;
    form->OKbtnClick();
    return form->closed() ? form->recordNumber() : -1;
  }

  std::string timer(const std::string& initials) const {
    const auto p = dir / ("TIMER." + initials);
    if (!std::filesystem::exists(p)) return {};
    // The letters of every record, in the order they came.
    std::vector<std::string> texts;
    ReadNotifyTexts(PosixFileOps(), p.string(), texts);
    std::string all;
    for (const auto& t : texts) all += t;
    return all;
  }
};

}  // namespace egresso::test
