// The notification-area icon through QSystemTrayIcon.
#pragma once

#include <QObject>
#include <memory>

#include "platform/services.h"

class QMenu;
class QSystemTrayIcon;

namespace egresso {

class QtTray : public QObject, public Tray {
  Q_OBJECT
 public:
  QtTray();
  ~QtTray() override;
  bool available() override;
  bool add(std::string_view iconPath, std::string_view tip) override;
  bool modify(std::string_view iconPath, std::string_view tip) override;
  void remove() override;
  void showMessage(std::string_view title, std::string_view text) override;

  // The menu shown on a right click; owned by the caller.
  void setMenu(QMenu* menu);
  bool shown() const { return icon_ != nullptr; }

 signals:
  void doubleClicked();

 private:
  std::unique_ptr<QSystemTrayIcon> icon_;
  QMenu* menu_ = nullptr;
};

}  // namespace egresso
