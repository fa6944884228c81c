#include "storage/file_set.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <sstream>
#include <thread>

#include "storage/file_access.h"
#include "storage/record_io.h"

namespace egresso {

namespace {

constexpr const char* kJournalEnd = "END";
constexpr std::size_t kJournalMax = 1u << 20;

std::string journalPath(const std::string& folder) {
  std::string path;
  path.reserve(folder.size() + 1 + std::char_traits<char>::length(kSwitchJournal));
  return path.append(folder).append(1, '/').append(kSwitchJournal);
}

// Flushes a folder's entries to the disk; a crash afterwards
// cannot undo what was written.
void syncFile(FileOps& ops, const std::string& path) {
  int fd = ops.open(path.c_str(), O_RDONLY);
  if (fd < 0) return;
  ops.fsync(fd);
  ops.close(fd);
}

void syncFolder(FileOps& ops, const std::string& path) {
  int fd = ops.open(path.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  ops.fsync(fd);
  ops.close(fd);
}

bool endsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// A step the file server refuses for a moment: another workstation has the
// file open (a share answers "busy" then), or the server stumbled.
bool passingRefusal(int err) {
  return err == EBUSY || err == ETXTBSY || err == EAGAIN || err == EIO || err == EACCES;
}

// The pauses between the tries of a refused step, in ms: a reader holds a
// file for the moment of one list pass; a file held longer is left to the
// journal's next completion rather than keep the user waiting.
constexpr int kStepPausesMs[] = {20, 40, 80, 160, 320, 500, 500, 500};

// Carries out the steps of a journal text in order and stops at the first
// that cannot be done: the later steps wait with it for the next
// completion, so that the set is switched as far as its order allows and
// never around a hole (an index switched over a data file that was not).
bool applyJournal(FileOps& ops, const std::string& text, const SwitchPause& pause, SwitchFailure* failure,
                  const std::function<void(std::size_t, std::size_t)>& progress = {}) {
  std::istringstream in(text);
  std::string line;
  const auto total = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  std::size_t done = 0;
  while (std::getline(in, line)) {
    if (progress && ++done % 256 == 0) progress(done, total);
    if (line.size() < 2 || line[1] != '\t') continue;
    const std::string rest = line.substr(2);
    std::string from, to;
    if (line[0] == 'R') {
      const auto tab = rest.find('\t');
      if (tab == std::string::npos) continue;
      from = rest.substr(0, tab);
      to = rest.substr(tab + 1);
    } else if (line[0] == 'D') {
      to = rest;
    } else {
      continue;
    }
    int err = 0;
    for (std::size_t attempt = 0;; ++attempt) {
      if (line[0] == 'R') {
        // A staged file that is gone has been moved already. Its permission
        // bits and group were given when it was staged: completing the
        // switch is a plain rename, which any workstation may do.
        err = !fileExists(from) || ops.rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
        if (err != 0 && !fileExists(from)) err = 0;
      } else {
        err = ops.unlink(to.c_str()) == 0 || errno == ENOENT ? 0 : errno;
        if (err == EISDIR || err == EPERM) err = deleteFile(to, ops) == io::Ok ? 0 : err;
      }
      if (err == 0 || !passingRefusal(err) || attempt >= std::size(kStepPausesMs)) break;
      if (pause) pause(kStepPausesMs[attempt]);
      else std::this_thread::sleep_for(std::chrono::milliseconds(kStepPausesMs[attempt]));
    }
    if (err != 0) {
      if (failure) *failure = {to, err};
      return false;
    }
  }
  return true;
}

// The journal's text when it is complete (ends with the end line).
bool readJournal(FileOps& ops, const std::string& path, std::string& text) {
  // A journal names a few dozen files; a longer one is not the program's.
  if (ReadFileBounded(ops, path, kJournalMax, text) != io::Ok) return false;
  return endsWith(text, std::string(kJournalEnd) + "\n");
}

}  // namespace

FileSetSwitch::FileSetSwitch(std::string dataFolder, FileOps& ops) : folder_(std::move(dataFolder)), ops_(&ops) {
  // Process and moment: no two runs share it, on one computer or several
  // (the staged files of a run on another computer lie in the same folders).
  char host[64] = {};
  ::gethostname(host, sizeof host - 1);
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  run_ = std::to_string(std::hash<std::string>{}(host) % 100000) + "-" + std::to_string(::getpid()) + "-" +
         std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(now).count() % 1000000000) +
         "-" +
         TempSuffix().substr(1, 16);  // and a part nobody can guess: no staged name can be planted ahead
}

void FileSetSwitch::Replace(const std::string& staged, const std::string& target, bool linked) {
  // The new file takes the permission bits and group of the one it
  // replaces now, while the switch can still be given up.
  const int rc = GiveAccess(staged, NoteAccess(target, *ops_), *ops_);
  if (rc != io::Ok && failure_ == io::Ok) failure_ = rc;
  steps_.push_back({'R', staged, target, linked});
  folders_.insert(std::filesystem::path(staged).parent_path().string());
}

void FileSetSwitch::Discard() {
  for (const Step& st : steps_)
    if (st.kind == 'R') deleteFile(st.from, *ops_);
  steps_.clear();
}

void FileSetSwitch::Remove(const std::string& target) { steps_.push_back({'D', {}, target, false}); }

int FileSetSwitch::Commit(const std::function<void(std::size_t, std::size_t)>& progress) {
  std::string text;
  for (const std::string& lock : locks_) text += "L\t" + lock + "\n";
  // Every replacement before any removal: a removal never takes away what
  // a replacement of the same run put in place.
  for (const Step& s : steps_)
    if (s.kind == 'R') text += "R\t" + s.from + "\t" + s.to + "\n";
  for (const Step& s : steps_)
    if (s.kind == 'D') text += "D\t" + s.to + "\n";
  text += std::string(kJournalEnd) + "\n";

  // The journal appears whole or not at all.
  const std::string path = journalPath(folder_);
  const std::string temp = StagingName(path);
  // A new file that could not be given its target's access keeps the old set.
  FileOps& ops = *ops_;
  int result = failure_;
  if (result == io::Ok) {
    const int fd = ops.open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0) {
      result = io::fromErrno(errno);
    } else {
      result = WriteAll(ops, fd, text.data(), text.size());
      // A journal the disk may not hold is no commit.
      if (result == io::Ok && ops.fsync(fd) != 0) result = io::fromErrno(errno);
      if (ops.close(fd) != 0 && result == io::Ok) result = io::DiskWriteError;
    }
  }
  // The staged files must be on the disk before the journal says they are
  // the set. A second name of a file already there needs no flush of its
  // own; the folder flushes below take the names.
  for (const Step& s : steps_)
    if (s.kind == 'R' && !s.linked) syncFile(ops, s.from);
  if (result == io::Ok && ops.rename(temp.c_str(), path.c_str()) != 0) result = io::fromErrno(errno);
  if (result != io::Ok) {
    deleteFile(temp, ops);
    for (const Step& s : steps_)
      if (s.kind == 'R') deleteFile(s.from, ops);
    steps_.clear();
    return result;
  }
  for (const std::string& f : folders_) syncFolder(ops, f);
  syncFolder(ops, folder_);
  steps_.clear();
  failed_ = {};
  if (!applyJournal(ops, text, pause_, &failed_, progress)) return io::fromErrno(failed_.err);
  deleteFile(path, ops);
  return io::Ok;
}

bool FileSetSwitchPending(FileOps& ops, const std::string& dataFolder, std::vector<std::string>* locks) {
  const std::string path = journalPath(dataFolder);
  // Only a plain file can be a journal: anything else planted under its
  // name is never opened (a pipe would hang the reader).
  struct stat st;
  if (ops.stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  std::string text;
  if (!readJournal(ops, path, text)) return false;
  if (locks) {
    locks->clear();
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
      if (line.size() > 2 && line[0] == 'L' && line[1] == '\t') locks->push_back(line.substr(2));
  }
  return true;
}

bool CompleteFileSetSwitch(const std::string& dataFolder, FileOps& ops, const SwitchPause& pause,
                           SwitchFailure* failure) {
  const std::string path = journalPath(dataFolder);
  std::string text;
  if (!readJournal(ops, path, text)) return false;
  if (!applyJournal(ops, text, pause, failure)) return false;
  deleteFile(path, ops);
  return true;
}

void DiscardStagedFiles(FileOps& ops, const std::vector<std::string>& folders) {
  for (const std::string& folder : folders) {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      const std::string name = it->path().filename().string();
      if (endsWith(name, kStagingSuffix)) deleteFile(it->path(), ops);
    }
  }
}

}  // namespace egresso
