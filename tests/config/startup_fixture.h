// A program folder with its own notice file, an empty data folder and a
// workstation on fake platform services, for start-up tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "config/records_init.h"
#include "config/startup_routine.h"
#include "core/workstation.h"
#include "support/fake_platform.h"

namespace egresso::test {

class StartupTest : public ::testing::Test {
 protected:
  FakePlatform fake;
  TempDir program;
  TempDir data;
  std::unique_ptr<Workstation> ws;
  std::vector<std::string> lines;

  void SetUp() override {
    lines.assign(2100, "");
    const std::map<int, std::string> texts{
        {29, "OK"}, {344, "Cancel"}, {407, "Yes"}, {408, "No"}, {547, "Password"}, {548, "Type your password"},
        {551, "Type a new password"}, {552, "Type your current password"}, {553, "Your new password is"},
        {554, "Who are you?"}, {555, "Type your initials"}, {556, "Unknown initials. "}, {1485, "."},
        {1598, " is not in the employee table."}, {1649, "Working in the alternative data folder."},
        {1656, "Work without a password?"}, {1874, "  Ask "}, {1875, " to add you."}, {2023, "Ask "},
        {2024, " for help."}};
    for (const auto& [n, text] : texts) lines[static_cast<std::size_t>(n - 1)] = text;
    writeNotices();
    ws = fresh();
  }

  // Whatever the start took it gave back (see BoardWorld).
  void TearDown() override {
    if (locksMayRemain) return;
    for (const auto& name : LockFilesIn(data.path())) ADD_FAILURE() << "lock file left behind: " << name;
  }
  bool locksMayRemain = false;

  // The notice file and the table a workstation starts with hold the same texts.
  void writeNotices() {
    std::string file;
    for (const auto& line : lines) file += line + "\r\n";
    writeFile(program / "NOTICES.TXT", file);
  }
  void setNotice(int n, const std::string& text) {
    lines[static_cast<std::size_t>(n - 1)] = text;
    writeNotices();
    ws->notices.lines = lines;
  }

  std::unique_ptr<Workstation> fresh() {
    auto w = std::make_unique<Workstation>(fake.platform());
    w->notices.lines = lines;
    w->locks.TraceFolder = program.str();  // the trace file stays out of the data folder
    return w;
  }

  void start(std::vector<std::string> args = {}) {
    args.insert(args.begin(), "/MD=" + data.str());
    ProgramStartup(*ws, program.str(), args);
  }

  // Bytes of a new main configuration record with the given employees.
  std::string mainConfigFile(const std::vector<std::string>& initials, const std::string& mainUser) {
    Workstation w(fake.platform());
    w.notices.lines = lines;
    InitMainConfig(w);
    for (std::size_t i = 0; i < initials.size(); ++i) w.mcfg.setEmpInitials(static_cast<int>(i + 1), initials[i]);
    w.mcfg.setStr(mcfg::MainUserInitials, 3, mainUser);
    return std::string(w.mcfg.bytes.begin(), w.mcfg.bytes.end());
  }

  std::string personalConfigFile(const std::function<void(PersonalConfig&)>& change = {}) {
    Workstation w(fake.platform());
    InitPersonalConfig(w);
    if (change) change(w.pcfg);
    return std::string(w.pcfg.bytes.begin(), w.pcfg.bytes.end());
  }

  // Every file below the data folder with its size, time and contents.
  std::map<std::string, std::string> snapshot() {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(data.path())) {
      const std::string rel = std::filesystem::relative(e.path(), data.path()).string();
      if (e.is_directory()) {
        files[rel + "/"] = "";
        continue;
      }
      files[rel] = std::to_string(e.last_write_time().time_since_epoch().count()) + ":" + readFile(e.path());
    }
    return files;
  }
};

}  // namespace egresso::test
