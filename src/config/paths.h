// The paths record: program, data and backup folders and the file names
// built from them and from the user's initials. Folders are kept without a
// final "/"; file names are appended with a leading "/".
#pragma once

#include <string>
#include <string_view>

namespace egresso {

struct Paths {
  std::string ProgramFolder;      // folder of the program file (holds NOTICES.TXT, icons, help)
  std::string DataFolder;         // the shared data folder
  std::string ProjectPlanFolder;  // DataFolder + "/PROJPLAN"
  std::string ProjectNoteFolder;  // DataFolder + "/PROJNOTE"
  std::string BulletinFolder;     // DataFolder + "/BULLETIN": bodies of board records
  std::string AltDataFolder;      // "/RD="
  std::string ExtraFolder;        // "/ED="
  std::string ProductTitle;       // "Egresso"
  std::string PicturesFolder;
  std::string AnnouncementText;   // "/AN=" (stored only)
  std::string BackupFolder;       // DataFolder + "/BACKUP", or "/BD="
  std::string MainConfigPath;     // DataFolder + "/CFGMAIN.DAF"
  std::string PersonalConfigPath; // DataFolder + "/CFG" + ThisUser + ".DAF"
  std::string SchedDataPath;      // DataFolder + "/SCHED.DAF"
  std::string SchedIndexPath;     // DataFolder + "/SCHED.DAI"
  std::string LogDataPath;        // set by SetLogFileNames
  std::string LogIndexPath;
  std::string ClientDataPath;     // DataFolder + "/PROJ.DAF"
  std::string ClientIndexPath;    // DataFolder + "/PROJ.DAI"
  std::string ClientNamesPath;    // DataFolder + "/PROJ.DAE"
  std::string CategoryPath;       // DataFolder + "/CATGRY.DAF"
  std::string AccountPath;        // DataFolder + "/ACCT.DAF"
  std::string CalcFile;           // DataFolder + "/CALC" + ThisUser + ".DAF"
  std::string NotificationText;   // "/NL="
  std::string ImportText;         // "/IA=" (stored only)
  std::string BoardDataPath;      // current board data file, chosen by the board
  std::string BoardIndexPath;     // current board index file
  std::string MemoFile;           // DataFolder + "/MEMO" + ThisUser + ".DAF"
  std::string AnnouncementFile;   // in the data folder
  std::string TimeSlipFile;       // DataFolder + "/TMSLP." + ThisUser
  std::string NoticesPath;        // ProgramFolder + "/NOTICES.TXT"
  std::string CurrentFileName;    // result of FileNameFor
  std::string StampText;          // the last date stamp built for the clipboard
};

// A sound file named without a folder (the default "alarm.wav") is the one
// shipped beside the program's data, in NOTICES.TXT's folder, wherever the
// program was started from; a name with a folder stands as given.
inline std::string SoundFilePath(const Paths& paths, std::string_view name) {
  if (name.empty() || name.find('/') != std::string_view::npos || name.find('\\') != std::string_view::npos)
    return std::string(name);
  std::string folder = paths.ProgramFolder;
  if (const auto slash = paths.NoticesPath.rfind('/'); slash != std::string::npos)
    folder = paths.NoticesPath.substr(0, slash);
  return folder.empty() ? std::string(name) : folder + "/" + std::string(name);
}

}  // namespace egresso
