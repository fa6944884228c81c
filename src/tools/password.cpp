#include "tools/password.h"

#include <algorithm>
#include <cstdint>

#include "text/notices.h"
#include "core/workstation.h"
#include "config/config_store.h"
#include "text/fixed_width.h"

namespace egresso {

bool PasswordDialog::passwordStored() const { return !ws_.pcfg.str(pcfg::UserPassword, 8).empty(); }

bool PasswordDialog::logSetCurrent() const { return ws_.engine.LogMode; }

void PasswordDialog::FormShow() {
  PasswordState& mode = ws_.password;
  PasswordStep = 2;
  CancelQuits = false;
  view = PasswordView{};
  view.MaxLength = mode.PromptKind != 0 ? 15 : 8;
  view.OkCaption = MessageText(ws_, 29);
  view.CancelCaption = MessageText(ws_, 344);

  const bool stored = passwordStored();
  if (!mode.ChangeMode && mode.PromptKind == 0 && stored) {
    // Start-up check: the program ends unless the right password is given.
    ws_.QuitRequested = true;
    ws_.PasswordDialogClosed = false;
    CancelQuits = true;
  }

  view.Caption = ws_.paths.ProductTitle + " " + MessageText(ws_, 547);
  view.Label = MessageText(ws_, 548);
  view.LabelWidth = 187;
  view.Masked = true;

  if (!stored) {
    view.Label = MessageText(ws_, 551);
    view.Masked = false;
  } else if (mode.ChangeMode) {
    view.Label = MessageText(ws_, 552);
    PasswordStep = 1;
  }

  if (mode.PromptKind != 0) {
    view.Caption = MessageText(ws_, 769);
    view.Label = MessageText(ws_, logSetCurrent() ? 767 : 768);
    if (mode.PromptKind == 4) view.Label = MessageText(ws_, 1492);
    if (mode.PromptKind == 5) {
      view.Label = MessageText(ws_, 1559);
      view.LabelRightAligned = true;
      view.ChoicesVisible = true;
      view.Choice1Caption = MessageText(ws_, 1568);
      view.Choice2Caption = MessageText(ws_, 1569);
      view.Choice2Selected = mode.SearchOption;
    }
    if (mode.PromptKind == 2) view.Label = MessageText(ws_, 1070);
    view.Masked = false;
    view.Text = mode.SearchText.substr(0, 15);
  }

  if (mode.IdentifyMode) {
    view.MaxLength = 3;
    view.Masked = false;
    view.Caption = MessageText(ws_, 554);
    view.Label = MessageText(ws_, 555);
  }
  view.FocusOnOk = false;
}

FormPosition PasswordDialog::Position(int formWidth, int formHeight) const {
  const PersonalConfig& p = ws_.pcfg;
  if (ws_.options.CompactMode) {
    // The panel area is stored as height, width, top, left.
    return {p.panelArea(3), p.panelArea(2)};
  }
  if (p.homePlacement(2) <= 0 || p.homePlacement(3) <= 0) return {0, 0, true};
  return {std::max(0, p.homePlacement(0) + (p.homePlacement(2) - formWidth) / 2),
          std::max(0, p.homePlacement(1) + (p.homePlacement(3) - formHeight) / 2)};
}

void PasswordDialog::OKBtnClick(bool cancel) {
  PasswordState& mode = ws_.password;
  if (view.Closed) return;
  if (cancel || PasswordStep > 3 || (PasswordStep > 2 && !mode.ChangeMode)) {
    if (CancelQuits || mode.IdentifyMode) ws_.QuitRequested = true;
    close();
    return;
  }

  // The edit never holds more than its maximum; a window that lets more
  // through must not change what is stored or compared.
  std::string text = TrimText(UpperText(view.Text.substr(0, static_cast<std::size_t>(view.MaxLength))));
  view.Text = text;

  if (mode.PromptKind == 3) {
    UltimateDialog(ws_, MessageText(ws_, 1343) + MessageText(ws_, 1344) + MessageText(ws_, 1345), -1, "", "",
                   MessageText(ws_, 29), 3);
    close();
    return;
  }
  if (mode.PromptKind >= 1 && mode.PromptKind <= 5) {
    mode.SearchOption = view.Choice2Selected;
    if (view.Choice2Selected && (text.empty() || text[0] != '&')) text = "&" + text;
    if (!text.empty()) {
      mode.SearchOption = text[0] == '&';
      if (mode.SearchOption) text.erase(0, 1);
    }
    mode.SearchText = text.substr(0, 15);
    close();
    return;
  }

  const bool stored = passwordStored();
  const bool needed = mode.IdentifyMode || (stored && (!mode.ChangeMode || PasswordStep == 1));
  if (text.empty() && needed) {
    ws_.platform.dialogs->beep();
    return;
  }

  if (mode.IdentifyMode) {
    bool found = false;
    for (int slot = 1; slot <= mcfg::Employees && !found; ++slot) found = ws_.mcfg.empInitials(slot) == text;
    const std::string mainUser = ws_.mcfg.mainUserInitials();
    if (!found && text != mainUser && !ws_.options.MainConfigCreated) {
      UltimateDialog(ws_, MessageText(ws_, 556) + MessageText(ws_, 2023) + mainUser + MessageText(ws_, 2024), -1, "",
                     "", MessageText(ws_, 29), 3);
      view.Text.clear();
      return;
    }
    ws_.ThisUser = text.substr(0, 3);
    if (mainUser.empty()) ws_.mcfg.setStr(mcfg::MainUserInitials, 3, ws_.ThisUser);
    PasswordStep = 4;
    close();
    return;
  }

  if (PasswordStep == 1 || (!mode.ChangeMode && stored)) {
    bool legacy = false;
    if (!PasswordMatches(ws_.ThisUser, ws_.pcfg.str(pcfg::UserPassword, 8), text, legacy)) {
      ws_.platform.dialogs->beep();
      view.Text.clear();
      return;
    }
    if (legacy) {
      // The old form could be read back by anyone: replaced by the hash now.
      ws_.pcfg.setStr(pcfg::UserPassword, 8, HashPassword(ws_.ThisUser, text));
      WritePersonalConfig(ws_);
    }
    view.Label = MessageText(ws_, 551);
    PasswordStep = 2;
    if (mode.ChangeMode) {
      view.Masked = false;
      view.FocusOnOk = false;
      view.Text.clear();
      return;
    }
    ws_.QuitRequested = false;
    close();
    return;
  }

  if (PasswordStep == 2) {
    const std::string old = ws_.pcfg.str(pcfg::UserPassword, 8);
    const std::string typed = text.substr(0, 8);
    ws_.pcfg.setStr(pcfg::UserPassword, 8, HashPassword(ws_.ThisUser, typed));
    if (typed.empty()) {
      if (UltimateDialog(ws_, MessageText(ws_, 1656), -1, MessageText(ws_, 407), MessageText(ws_, 408), "", 1) == 1) {
        ws_.pcfg.setU8(pcfg::RequestPassword, 0);
        // The user chose to work without a password: keep that choice, or the
        // old password would be asked for again at the next start.
        WritePersonalConfig(ws_);
        close();
        return;
      }
      ws_.pcfg.setStr(pcfg::UserPassword, 8, old);
      view.Text.clear();
      return;
    }
    WritePersonalConfig(ws_);
    view.Label = MessageText(ws_, 553) + " \"" + typed + "\"";
    view.CancelVisible = false;
    view.EditVisible = false;
    view.FocusOnOk = true;
    ++PasswordStep;
    view.Text.clear();
    return;
  }

  close();
}

void PasswordDialog::FormClose() {
  ws_.PasswordDialogClosed = true;
  ws_.password.ChangeMode = false;
}

void RunPasswordDialog(Workstation& ws) {
  PasswordDialog dialog(ws);
  dialog.FormShow();
  if (ws.platform.passwordPrompt)
    ws.platform.passwordPrompt->run(dialog);
  if (!dialog.view.Closed) dialog.OKBtnClick(true);
  dialog.FormClose();
}

void IdentifyUser(Workstation& ws) {
  ws.password.IdentifyMode = true;
  RunPasswordDialog(ws);
  ws.password.IdentifyMode = false;
}

void CheckStartupPassword(Workstation& ws) {
  ws.password.IdentifyMode = false;
  ws.password.ChangeMode = false;
  ws.password.PromptKind = 0;
  RunPasswordDialog(ws);
}

void ChangePassword(Workstation& ws) {
  ws.password.ChangeMode = true;
  RunPasswordDialog(ws);
}

void PromptForText(Workstation& ws, int kind) {
  ws.password.PromptKind = kind;
  RunPasswordDialog(ws);
  ws.password.PromptKind = 0;
}

}  // namespace egresso
