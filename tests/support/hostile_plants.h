// What a co-worker can put in the shared data folder in place of a file the
// program opens, the writing commands to run over it, and a look at what
// lies outside the folder (bytes, bits, owner) to tell nothing there changed.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>

#include "board/announcement.h"
#include "board/cli_write.h"
#include "messages/form_world.h"
#include "config/config_store.h"
#include "tools/editor.h"
#include "tools/file_maint.h"

namespace egresso::test {

inline const char* const kPlants[] = {"link to a file outside", "link to a folder", "FIFO",
                                      "folder", "link to /dev/zero", "huge sparse file"};

// The folder the planted links point into, holding files under the names
// given (as they stand in a subfolder of the data folder), so that a write
// or a delete through a link shows.
inline void MakeOutside(const std::filesystem::path& outside, const std::set<std::string>& names = {}) {
  std::filesystem::create_directories(outside / "folder" / "empty");
  writeFile(outside / "private.txt", "private text\n");
  ::chmod((outside / "private.txt").c_str(), 0600);
  for (const std::string& name : names)
    writeFile(outside / "folder" / std::filesystem::path(name).filename(), "outside text\n");
}

inline void PlantAt(const std::filesystem::path& path, std::size_t plant, const std::filesystem::path& outside) {
  std::error_code ec;
  std::filesystem::remove_all(path, ec);
  if (plant == 0) std::filesystem::create_symlink(outside / "private.txt", path, ec);
  if (plant == 1) std::filesystem::create_directory_symlink(outside / "folder", path, ec);
  if (plant == 2) ::mkfifo(path.c_str(), 0666);
  if (plant == 3) std::filesystem::create_directory(path, ec);
  if (plant == 4) std::filesystem::create_symlink("/dev/zero", path, ec);
  if (plant == 5) {
    std::ofstream(path, std::ios::binary).put(0);
    std::filesystem::resize_file(path, std::uintmax_t{1} << 30, ec);
  }
}

inline std::string LookOutside(const std::filesystem::path& outside) {
  std::ostringstream all;
  for (const auto& e : std::filesystem::recursive_directory_iterator(outside)) {
    struct stat st {};
    ::lstat(e.path().c_str(), &st);
    all << e.path() << " " << st.st_mode << " " << st.st_uid << ":" << st.st_gid << " " << st.st_size << " "
        << st.st_mtim.tv_sec << "." << st.st_mtim.tv_nsec << " "
        << (S_ISREG(st.st_mode) ? readFile(e.path()) : "") << "\n";
  }
  return all.str();
}

// The file calls of a workstation, noting every name opened in the folder
// and every open for appending.
struct NamesOpened : FileOps {
  std::filesystem::path folder;
  std::set<std::string> names, appending;
  int open(const char* path, int flags, unsigned mode) override {
    const auto rel = std::filesystem::path(path).lexically_relative(folder).string();
    // Files only: the folders themselves are the office's to set up.
    if (!rel.empty() && !rel.starts_with("..") && !std::filesystem::is_directory(path)) names.insert(rel);
    if (flags & O_APPEND) appending.insert(rel);
    return FileOps::open(path, flags, mode);
  }
};

inline constexpr int kWaitSeconds = 2;

inline void cli(FormWorld& w, std::vector<std::string> args) {
  for (std::string a : {"--wait=2", "/TU=ANN"}) args.push_back(a);
  args.push_back("/MD=" + w.dir.str());
  std::ostringstream out, err;
  RunWriteCommand(args, EGRESSO_PROGRAM_DIR, w.fake.platform(), out, err);
}

// Journals on, one message to read and archive, Claire out.
inline void prepare(FormWorld& w) {
  w.ws.mcfg.setU8(mcfg::InOutLog, 1);
  w.saveConfig();
  FormWorld::send(w.ws, "ANN", "Earlier", "An earlier message");
  w.putLocation(3, "Lunch", w.ws.Today, 1330);
}

using PlantCommand = std::pair<const char*, std::function<void(FormWorld&)>>;
inline const std::vector<PlantCommand> kPlantCommands = {
    {"form save", [](FormWorld& w) { FormWorld::send(w.ws, "BOB", "Budget", "Please check"); }},
    {"sign-out", [](FormWorld& w) { cli(w, {"out", "--who", "BOB", "--to", "Bank"}); }},
    {"sign-in", [](FormWorld& w) { cli(w, {"in", "--who", "CLA"}); }},
    {"send", [](FormWorld& w) { cli(w, {"send", "--to", "BOB", "--subject", "Lunch"}); }},
    {"read", [](FormWorld& w) { cli(w, {"read", "0"}); }},
    {"announcement", [](FormWorld& w) { MemoExit(w.ws, true, "Fire drill at ten", nullptr); }},
    {"memo",
     [](FormWorld& w) {
       MemoEditor ed(w.ws);
       if (!RequestMemo(w.ws, 1)) return;
       ed.FormShow({100, 100, 600, 400});
       ed.Area.Text = "Away Fridays";
       ed.Modified = true;
       ed.OKbtnClick();
     }},
    {"backup", [](FormWorld& w) { BackupDataFiles(w.ws); }},
    {"purge", [](FormWorld& w) { PurgeTaggedMessages(w.ws); }},
    {"archive",
     [](FormWorld& w) {
       w.mode(0);
       BuildBoardList(w.ws);
       CloseEntry(w.ws, 0, BoardSource::List);
     }},
};

}  // namespace egresso::test
