// A fresh data folder for one benchmark, removed afterwards.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace egresso::bench {

class BenchFolder {
 public:
  // Made under parent, or the temporary folder when parent is empty.
  explicit BenchFolder(const std::string& parent = {}) {
    const std::filesystem::path under = parent.empty() ? std::filesystem::temp_directory_path() : std::filesystem::path(parent);
    std::string pattern = (under / "egresso-bench-XXXXXX").string();
    // Without a folder of its own a benchmark must not run at all: the
    // destructor removes whatever folder this names.
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a benchmark folder");
    path_ = pattern;
    std::filesystem::create_directory(path_ / "BULLETIN");
  }
  ~BenchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  BenchFolder(const BenchFolder&) = delete;
  BenchFolder& operator=(const BenchFolder&) = delete;

  std::string str() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace egresso::bench
