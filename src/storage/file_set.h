// Replacing a set of files (a data file with its index, the message bodies,
// every restored data file) so that an interruption at any moment leaves
// either the whole old set or the whole new one.
//
// The new files are first made under staging names beside their targets
// ("<target>.~MT"); nothing of the old set is touched while they are made.
// Commit then writes a journal MAINT.JNL into the data folder, which is the
// moment the new set counts as made, moves every staged file over its
// target, removes what the new set no longer has, and deletes the journal.
// A run interrupted after the journal was written is completed by the next
// CompleteFileSetSwitch (any workstation may do it: every step can be
// repeated); one interrupted before leaves only staged files, which the
// next maintenance run under the same locks removes (DiscardStagedFiles).
#pragma once

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "storage/file_ops.h"

namespace egresso {

inline constexpr const char* kStagingSuffix = ".~MT";
inline constexpr const char* kSwitchJournal = "MAINT.JNL";

// Lets a step the file server refuses for a moment be tried again after
// about ms milliseconds (the workstation's own wait, which keeps its
// windows and its held locks alive).
using SwitchPause = std::function<void(int ms)>;

// The step a switch stopped at: its file and the system's reason.
struct SwitchFailure {
  std::string path;
  int err = 0;
};

class FileSetSwitch {
 public:
  explicit FileSetSwitch(std::string dataFolder, FileOps& ops);

  // The name target's new file is made under: "<target>.<run>.~MT", where
  // the run is this switch's own, so a late completion of an earlier
  // switch can never move a file this one is still making.
  std::string StagingName(const std::string& target) const { return target + "." + run_ + kStagingSuffix; }

  // The staged file takes the place of target at the commit, with target's
  // permission bits and group (given now). linked: the staged file is a
  // second name of a file already on the disk.
  void Replace(const std::string& staged, const std::string& target, bool linked = false);
  // Target is removed at the commit (the new set has no such file).
  void Remove(const std::string& target);
  // The locks the run holds, in the order it took them: whoever completes
  // an interrupted switch takes them first (a journal that names none asks
  // for every lock of a restore).
  void GuardedBy(std::vector<std::string> locks) { locks_ = std::move(locks); }
  bool empty() const { return steps_.empty(); }
  // Gives the switch up before its commit: the staged files go, the old
  // set stays as it is.
  void Discard();
  void PauseWith(SwitchPause pause) { pause_ = std::move(pause); }
  // After a Commit that failed: the step it stopped at.
  const SwitchFailure& Failure() const { return failed_; }

  // Writes the journal and carries the switch out. Returns an I/O result:
  // a journal that cannot be written leaves the old set (the staged files
  // are removed); a step that still fails after a few tries stops the
  // switch there, the journal staying in place for the next
  // CompleteFileSetSwitch to carry out whole. Every file the switch
  // replaces must be closed by the caller first: a file server refuses to
  // replace a file that is open.
  // progress(done, total) is told how far the switch has got.
  int Commit(const std::function<void(std::size_t, std::size_t)>& progress = {});

 private:
  struct Step {
    char kind;  // 'R' replace, 'D' remove
    std::string from, to;
    bool linked;
  };
  std::string folder_;
  FileOps* ops_;
  std::string run_;
  std::vector<Step> steps_;
  std::vector<std::string> locks_;
  std::set<std::string> folders_;  // of the staged files
  int failure_ = 0;                 // a staged file that cannot take its target's access
  SwitchPause pause_;
  SwitchFailure failed_;
};

// True when a switch's journal waits in the data folder to be completed;
// locks receives the locks to hold while completing it.
bool FileSetSwitchPending(FileOps& ops, const std::string& dataFolder, std::vector<std::string>* locks = nullptr);

// Completes a switch whose journal is in the data folder. Returns true when
// there was one (and it could be completed); failure tells where it stopped.
bool CompleteFileSetSwitch(const std::string& dataFolder, FileOps& ops,
                           const SwitchPause& pause = {}, SwitchFailure* failure = nullptr);
// Removes staged files of an interrupted run in the given folders (run only
// while holding the locks of the run that made them, after
// CompleteFileSetSwitch).
void DiscardStagedFiles(FileOps& ops, const std::vector<std::string>& folders);

}  // namespace egresso
