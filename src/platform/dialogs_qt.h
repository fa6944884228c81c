// The dialogs of the platform interface: the universal dialog (modal, or a
// non-modal notice kept until closeNotice), OK boxes and the beep.
#pragma once

#include <memory>

#include "platform/services.h"

namespace egresso {

struct Workstation;
class TUltimateDialog;

class QtDialogs : public Dialogs {
 public:
  QtDialogs();
  ~QtDialogs() override;
  // The workstation supplies captions (notice texts), compact mode and the
  // area dialogs are centred on; without one, dialogs have no caption.
  void attach(Workstation* ws) { ws_ = ws; }

  int ultimateDialog(const DialogRequest& request) override;
  void closeNotice() override;
  void messageBox(std::string_view text, BoxKind kind, std::string_view caption = {}) override;
  void beep() override;

  TUltimateDialog* notice() const { return notice_.get(); }

 private:
  Workstation* ws_ = nullptr;
  std::unique_ptr<TUltimateDialog> notice_;
  int nonClient_ = 0;
  // With EGRESSO_TEST_BOXES=stderr, boxes and dialogs are written to the
  // error output instead of waiting for an answer (process tests).
  bool toStderr_ = false;
};

}  // namespace egresso
