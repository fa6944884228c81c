#include "platform/tray_qt.h"

#include <QFile>
#include <QIcon>
#include <QImageReader>
#include <QMenu>
#include <QSystemTrayIcon>

#include "platform/text_qt.h"

namespace egresso {
namespace {

bool loadIcon(std::string_view path, QIcon& icon) {
  QString file = QFile::decodeName(QByteArray(path.data(), static_cast<int>(path.size())));
  if (file.isEmpty() || !QImageReader(file).canRead()) return false;
  icon = QIcon(file);
  return !icon.isNull();
}

}  // namespace

QtTray::QtTray() = default;
QtTray::~QtTray() = default;

bool QtTray::available() { return QSystemTrayIcon::isSystemTrayAvailable(); }

bool QtTray::add(std::string_view iconPath, std::string_view tip) {
  QIcon icon;
  bool loaded = loadIcon(iconPath, icon);
  icon_ = std::make_unique<QSystemTrayIcon>(icon);
  icon_->setToolTip(fromRecordText(tip));
  if (menu_) icon_->setContextMenu(menu_);
  connect(icon_.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::DoubleClick) emit doubleClicked();
  });
  // Shown once it has an image.
  if (loaded) icon_->show();
  return loaded;
}

bool QtTray::modify(std::string_view iconPath, std::string_view tip) {
  if (!icon_) return false;
  QIcon icon;
  bool loaded = loadIcon(iconPath, icon);
  icon_->setToolTip(fromRecordText(tip));
  if (loaded) {
    icon_->setIcon(icon);
    icon_->show();
  }
  return loaded;
}

void QtTray::remove() { icon_.reset(); }

void QtTray::showMessage(std::string_view title, std::string_view text) {
  if (!icon_ || !QSystemTrayIcon::supportsMessages()) return;
  icon_->showMessage(fromRecordText(title), fromRecordText(text), QSystemTrayIcon::Information, 10000);
}

void QtTray::setMenu(QMenu* menu) {
  menu_ = menu;
  if (icon_) icon_->setContextMenu(menu);
}

}  // namespace egresso
