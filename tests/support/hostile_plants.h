// Things a co-worker can put in a shared data folder in place of a file the
// program opens, and a look at what lies outside the folder, to tell that
// nothing there was written, truncated, grown or given other bits.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "storage/file_ops.h"

namespace egresso::test {

enum class Plant { LinkToFile, LinkToFolder, Fifo, Folder, DevZero, HugeSparse };
inline constexpr Plant kPlants[] = {Plant::LinkToFile, Plant::LinkToFolder, Plant::Fifo,
                                    Plant::Folder,     Plant::DevZero,      Plant::HugeSparse};

inline const char* PlantName(Plant p) {
  switch (p) {
    case Plant::LinkToFile: return "a link to a file outside";
    case Plant::LinkToFolder: return "a link to a folder outside";
    case Plant::Fifo: return "a FIFO";
    case Plant::Folder: return "a folder";
    case Plant::DevZero: return "a link to /dev/zero";
    case Plant::HugeSparse: return "a huge sparse file";
  }
  return "?";
}

// A private file and a folder outside the data folder, as another user's.
inline void MakeOutside(const std::filesystem::path& outside) {
  std::filesystem::create_directories(outside / "folder");
  std::ofstream(outside / "private.txt", std::ios::binary) << "private text\n";
  ::chmod((outside / "private.txt").c_str(), 0600);
  std::ofstream(outside / "folder" / "kept.txt", std::ios::binary) << "kept\n";
}

// Puts the plant at path (whatever was there goes first).
inline void PlantAt(const std::filesystem::path& path, Plant p, const std::filesystem::path& outside) {
  std::error_code ec;
  std::filesystem::remove_all(path, ec);
  switch (p) {
    case Plant::LinkToFile: std::filesystem::create_symlink(outside / "private.txt", path, ec); break;
    case Plant::LinkToFolder: std::filesystem::create_directory_symlink(outside / "folder", path, ec); break;
    case Plant::Fifo: ::mkfifo(path.c_str(), 0666); break;
    case Plant::Folder: std::filesystem::create_directory(path, ec); break;
    case Plant::DevZero: std::filesystem::create_symlink("/dev/zero", path, ec); break;
    case Plant::HugeSparse: {
      const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
      if (fd >= 0) {
        if (::ftruncate(fd, off_t{1} << 30) != 0) {}
        ::close(fd);
      }
      break;
    }
  }
}

// Every file under outside: its bytes, bits and owner.
inline std::string LookOutside(const std::filesystem::path& outside) {
  std::map<std::string, std::string> seen;
  for (const auto& e : std::filesystem::recursive_directory_iterator(outside)) {
    struct stat st;
    if (::lstat(e.path().c_str(), &st) != 0) continue;
    std::ostringstream line;
    line << std::oct << st.st_mode << " " << std::dec << st.st_uid << ":" << st.st_gid << " " << st.st_size;
    if (S_ISREG(st.st_mode)) {
      std::ifstream in(e.path(), std::ios::binary);
      line << " " << in.rdbuf();
    }
    seen[e.path().lexically_relative(outside).string()] = line.str();
  }
  std::string all;
  for (const auto& [name, line] : seen) all += name + " " + line + "\n";
  return all;
}

// The file calls of a workstation, noting every name opened in folder.
class NamesOpened : public FileOps {
 public:
  explicit NamesOpened(std::filesystem::path folder) : folder_(std::move(folder)) {}
  std::set<std::string> names;  // relative to the folder
  int open(const char* path, int flags, unsigned mode) override {
    const auto rel = std::filesystem::path(path).lexically_normal().lexically_relative(folder_);
    if (!rel.empty() && *rel.begin() != "..") names.insert(rel.string());
    return FileOps::open(path, flags, mode);
  }

 private:
  std::filesystem::path folder_;
};

}  // namespace egresso::test
