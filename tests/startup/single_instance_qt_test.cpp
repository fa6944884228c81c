// Starts the built program several times on one computer.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

namespace egresso {
namespace {

const QString kProgram = QStringLiteral(EGRESSO_PROGRAM_DIR "/egresso");

class ProgramRun {
 public:
  ProgramRun(const QString& runtimeDir, const QString& dataDir, const QString& station) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("EGRESSO_TEST_BOXES", "stderr");
    env.insert("XDG_RUNTIME_DIR", runtimeDir);
    env.insert("ASAN_OPTIONS", "detect_leaks=0");
    if (station.isEmpty()) {
      env.remove("EGRESSO_STATION");
    } else {
      env.insert("EGRESSO_STATION", station);
    }
    process.setProcessEnvironment(env);
    process.setReadChannel(QProcess::StandardError);
    // The program keeps its trace file in its current folder.
    process.setWorkingDirectory(dataDir);
    process.start(kProgram, {"/MD=" + dataDir});
  }
  ~ProgramRun() {
    if (process.state() != QProcess::NotRunning) {
      process.kill();
      process.waitForFinished(30000);
    }
  }
  // Waits for a line on the error output; false when the program ended first.
  bool waitFor(const QString& text) {
    for (;;) {
      if (errors.contains(text)) return true;
      if (process.state() == QProcess::NotRunning) break;
      process.waitForReadyRead(60000);
      errors += QString::fromUtf8(process.readAllStandardError());
    }
    errors += QString::fromUtf8(process.readAllStandardError());
    return errors.contains(text);
  }
  QProcess process;
  QString errors;
};

TEST(SingleInstance, SecondStartWarnsAndCreatesNoWindow) {
  QTemporaryDir runtime, data;
  ProgramRun first(runtime.path(), data.path(), "A");
  ASSERT_TRUE(first.waitFor("[instance]")) << first.errors.toStdString();

  ProgramRun second(runtime.path(), data.path(), "A");
  ASSERT_TRUE(second.process.waitForFinished(60000));
  second.errors += QString::fromUtf8(second.process.readAllStandardError());
  EXPECT_EQ(second.process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.process.exitCode(), 0);
  EXPECT_TRUE(second.errors.contains("[box] \"Egresso\" is already running.")) << second.errors.toStdString();
  EXPECT_FALSE(second.errors.contains("[instance]"));
  EXPECT_FALSE(second.errors.contains("[running]"));
  EXPECT_EQ(first.process.state(), QProcess::Running);
}

TEST(SingleInstance, DifferentStationsRunSideBySide) {
  QTemporaryDir runtime, data;
  ProgramRun a(runtime.path(), data.path(), "A");
  ASSERT_TRUE(a.waitFor("[instance]")) << a.errors.toStdString();
  ProgramRun b(runtime.path(), data.path(), "B");
  ASSERT_TRUE(b.waitFor("[instance]")) << b.errors.toStdString();
  EXPECT_FALSE(b.errors.contains("already running"));
  EXPECT_EQ(a.process.state(), QProcess::Running);
  EXPECT_EQ(b.process.state(), QProcess::Running);
}

}  // namespace
}  // namespace egresso
