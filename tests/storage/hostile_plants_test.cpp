// Every writing command, with a link, a FIFO, a folder, a device or an
// endless file put at each name of the data folder it opens: nothing outside
// the folder changes, the command ends within its wait, no lock is left.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <map>
#include <functional>
#include <vector>
#include <thread>

#include "storage/file_access.h"
#include "storage/record_io.h"
#include "support/hostile_plants.h"

namespace egresso {
namespace {

// In a child process, so that one that hangs is ended and told.
bool endsWithin(int seconds, test::FormWorld& w, const test::PlantCommand& c) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::alarm(static_cast<unsigned>(seconds * 3));
    c.second(w);
    ::_exit(0);
  }
  int status = 0;
  for (int ms = 0; ::waitpid(pid, &status, WNOHANG) == 0; ms += 5) {
    if (ms > seconds * 1000) ::kill(pid, SIGKILL);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return WIFEXITED(status);
}

TEST(HostilePlants, NothingOutsideChangesNoCommandHangsNoLockIsLeft) {
  test::TempDir outside;
  // The names each command opens when nothing was planted; a command line
  // run makes a workstation of its own, which is given them all.
  std::map<std::string, std::set<std::string>> names;
  std::set<std::string> all;
  for (const test::PlantCommand& c : test::kPlantCommands) {
    test::NamesOpened seen;
    test::FormWorld w;
    test::prepare(w);
    seen.folder = w.dir.path();
    w.ws.files = &seen;
    c.second(w);
    names[c.first] = seen.names;
    all.insert(seen.names.begin(), seen.names.end());
    for (const std::string& name : seen.appending)
      EXPECT_TRUE(name.starts_with("TIMER.")) << c.first << " opens " << name << " for appending";
  }
  // The files of the data folder's subfolders stand in the outside folder
  // too, where a link to a folder leads.
  test::MakeOutside(outside.path(), all);
  const std::string before = test::LookOutside(outside.path());
  for (const test::PlantCommand& c : test::kPlantCommands) {
    std::set<std::string> targets = names[c.first].empty() ? all : names[c.first];
    // The folders the files stand in are planted too (BULLETIN as a link to
    // a folder outside).
    for (const std::string& name : std::set<std::string>(targets))
      if (const auto slash = name.find('/'); slash != std::string::npos) targets.insert(name.substr(0, slash));
    for (const std::string& name : targets) {
      for (std::size_t p = 0; p < std::size(test::kPlants); ++p) {
        test::FormWorld w;
        w.locksMayRemain = true;  // a plant that is no lock of the command's stays; checked below
        test::prepare(w);
        test::PlantAt(w.dir / name, p, outside.path());
        const std::string what = std::string(c.first) + " with a " + test::kPlants[p] + " at " + name;
        SCOPED_TRACE(what);
        // The command's own wait, and what a busy machine needs besides.
        EXPECT_TRUE(endsWithin(test::kWaitSeconds + 8, w, c)) << what << " did not end in time";
        EXPECT_EQ(test::LookOutside(outside.path()), before) << what;
        // A plant at a lock the command takes is no lock: it goes.
        const bool taken = names[c.first].count(name) > 0;
        for (const auto& e : std::filesystem::directory_iterator(w.dir.path()))
          if (taken || e.path().filename() != name)
            EXPECT_NE(e.path().extension(), ".LOK") << what << ": " << e.path().filename() << " left";
        if (HasFailure()) return;
      }
    }
  }
}

// Every call of a workstation's file layer that names a file in the data
// folder, through a link to a folder outside it, through a link in the
// file's own place, and by ".." out of the folder: nothing outside changes.
TEST(HostilePlants, NoFolderOperationReachesOutside) {
  test::TempDir top;
  const std::filesystem::path data = top / "data", outside = top / "outside";
  std::filesystem::create_directories(data);
  test::MakeOutside(outside, {"X.DAF"});
  std::filesystem::create_directory_symlink(outside / "folder", data / "BULLETIN");
  std::filesystem::create_symlink(outside / "folder" / "X.DAF", data / "LINK.DAF");
  const std::string before = test::LookOutside(outside);
  test::FakePlatform fake;
  Workstation ws(fake.platform());
  ws.paths.DataFolder = data.string();
  FileOps& ops = *ws.files;
  using Call = std::function<int(const std::string&)>;
  auto in = [&](const std::string& name) { return (data / name).string(); };
  const timespec epoch[2] = {{0, 0}, {0, 0}};
  const std::vector<std::pair<const char*, Call>> operations = {
      {"unlink", [&](const std::string& p) { return ops.unlink(p.c_str()); }},
      {"delete", [&](const std::string& p) { return deleteFile(p, ops) == io::Ok ? 0 : -1; }},
      {"rmdir", [&](const std::string& p) { return ops.rmdir((p + "/../empty").c_str()); }},
      {"rename from", [&](const std::string& p) { return ops.rename(p.c_str(), in("MOVED.DAF").c_str()); }},
      {"rename over",
       [&](const std::string& p) {
         test::writeFile(data / "NEW.DAF", "new");
         return ops.rename(in("NEW.DAF").c_str(), p.c_str());
       }},
      {"link", [&](const std::string& p) { return ops.link(p.c_str(), in("SECOND.DAF").c_str()); }},
      {"mkdir", [&](const std::string& p) { return ops.mkdir((p + ".D").c_str(), 0777); }},
      {"set times", [&](const std::string& p) { return ops.utimens(p.c_str(), epoch); }},
      {"open to write", [&](const std::string& p) { return ops.open(p.c_str(), O_WRONLY | O_TRUNC); }},
      {"create", [&](const std::string& p) { return ops.open((p + ".NEW").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666); }},
      {"append", [&](const std::string& p) { return AppendToFile(p, "appended", ops) == io::Ok ? 0 : -1; }},
      {"replace", [&](const std::string& p) { return WriteFileReplacing(ops, p, "replaced") == io::Ok ? 0 : -1; }},
  };
  // The name, and whether the call may succeed on the link itself.
  const std::vector<std::pair<std::string, bool>> names = {
      {"BULLETIN/X.DAF", false}, {"LINK.DAF", true}, {"../outside/folder/X.DAF", false}};
  for (const auto& [what, call] : operations)
    for (const auto& [name, onLink] : names) {
      const int rc = call(in(name));
      if (rc >= 0 && !onLink) ADD_FAILURE() << what << " " << name << " went through";
      if (rc > 0) ::close(rc);
      EXPECT_EQ(test::LookOutside(outside), before) << what << " " << name;
      if (!std::filesystem::is_symlink(data / "LINK.DAF")) {
        std::filesystem::remove(data / "LINK.DAF");
        std::filesystem::create_symlink(outside / "folder" / "X.DAF", data / "LINK.DAF");
      }
    }
  struct stat st {};
  EXPECT_EQ(ops.stat(in("LINK.DAF").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode)) << "a link is told as a link";
  EXPECT_NE(ops.stat(in("BULLETIN/X.DAF").c_str(), &st), 0) << "no look through a folder link";
}

}  // namespace
}  // namespace egresso
