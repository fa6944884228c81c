#include "board/maintenance_menu_qt.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <functional>

#include "board/bulletin_qt.h"
#include "board/demo.h"
#include "config/custom_qt.h"
#include "core/workstation.h"
#include "config/config_store.h"
#include "support/fake_platform.h"
#include "tools/file_maint_qt.h"

namespace egresso {
namespace {

// The board's menus opening the real maintenance windows on the demo folder;
// each modal window is looked at and closed from a timer.
class MaintenanceMenus : public ::testing::Test {
 protected:
  test::FakePlatform fake;
  test::TempDir dir;
  Workstation ws{fake.platform()};
  std::unique_ptr<TBulBrd> board;
  QTimer watch;
  std::function<void(QWidget*)> onModal;

  void SetUp() override {
    ws.notices.lines.resize(2100);
    std::string error;
    ASSERT_TRUE(CreateDemoFolder(ws, dir.str(), error)) << error;
    ws.paths.ProductTitle = "Egresso";
    ws.paths.ProgramFolder = dir.str();
    ws.locks.TraceFolder = dir.str();
    ws.ListMode = 1;
    board = std::make_unique<TBulBrd>(ws);
    board->show();
    QApplication::processEvents();
    watch.setInterval(10);
    QObject::connect(&watch, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal || !modal->isVisible()) return;
      watch.stop();
      onModal(modal);
    });
  }

  // Triggers action; handle gets the modal window it opens and closes it.
  void run(QAction* action, std::function<void(QWidget*)> handle) {
    onModal = std::move(handle);
    watch.start();
    action->trigger();
    watch.stop();
  }

  QAction* toolsItem(int index) { return board->ToolsMenu()->actions().value(index); }
  bool locked(const char* name) const { return std::filesystem::exists(dir / (std::string(name) + ".LOK")); }
};

TEST_F(MaintenanceMenus, ConfigurationAndDeleteTaggedOpenTheirWindows) {
  const std::string config = test::readFile(ws.paths.MainConfigPath);
  bool custom = false;
  run(toolsItem(0), [&](QWidget* modal) {
    auto* d = qobject_cast<TCustom*>(modal);
    custom = d != nullptr;
    if (d) QTest::mouseClick(d->CancelBtn, Qt::LeftButton);
    if (modal->isVisible()) static_cast<QDialog*>(modal)->reject();
  });
  EXPECT_TRUE(custom);
  EXPECT_EQ(test::readFile(ws.paths.MainConfigPath), config) << "Cancel saves nothing";
  EXPECT_TRUE(fake.dialogs.dialogs.empty()) << "nothing changed: no question";

  // The window asks with no lock held: the purge takes its locks on OK.
  bool maint = false, eitherLock = true;
  run(toolsItem(1), [&](QWidget* modal) {
    auto* d = qobject_cast<TFileMaint*>(modal);
    maint = d != nullptr;
    eitherLock = locked("MEMOLK") || locked("LOCATELK");
    fake.dialogs.answers = {1};  // yes, close without purging
    if (d) QTest::mouseClick(d->CancelBtn, Qt::LeftButton);
    if (modal->isVisible()) static_cast<QDialog*>(modal)->done(QDialog::Rejected);
  });
  EXPECT_TRUE(maint);
  EXPECT_FALSE(eitherLock);
  EXPECT_FALSE(locked("MEMOLK"));
  EXPECT_FALSE(locked("LOCATELK"));
  EXPECT_FALSE(board->isHidden());
}

TEST_F(MaintenanceMenus, ARestoreItemBringsBackItsGeneration) {
  BackupDataFiles(ws);
  const auto backup = dir / "BACKUP";
  ASSERT_TRUE(std::filesystem::exists(backup / "CFGMAIN.BA1"));
  ASSERT_TRUE(std::filesystem::exists(backup / "LOCATE.BA1"));
  const std::string name = ws.mcfg.empName(2);
  ws.mcfg.setEmpName(2, "Someone Else");
  WriteMainConfig(ws, "TEST");
  std::filesystem::remove(dir / "LOCATE.DAF");

  emit board->RestoreMenu()->aboutToShow();
  QAction* item = board->RestoreMenu()->findChild<QAction*>("FileRestore1");
  ASSERT_NE(item, nullptr);
  fake.dialogs.answers = {1, 1};
  // The questions come through the platform's dialogs; only the progress
  // window may show, and it closes by itself.
  run(item, [](QWidget*) {});
  EXPECT_EQ(fake.dialogs.dialogs.size(), 2u);
  EXPECT_EQ(test::readFile(ws.paths.MainConfigPath), test::readFile(backup / "CFGMAIN.BA1"));
  EXPECT_EQ(test::readFile(dir / "LOCATE.DAF"), test::readFile(backup / "LOCATE.BA1"));
  EXPECT_EQ(ws.mcfg.empName(2), name);
  EXPECT_FALSE(locked("MEMOLK"));
  EXPECT_FALSE(locked("LOCATELK"));
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
}  // namespace egresso
