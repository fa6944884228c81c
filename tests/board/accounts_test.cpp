// Two real Linux accounts of one group on one data folder, as an office's
// colleagues share it: each runs egresso-cli under its own umask, and each
// must read and write everything the other wrote. Making accounts needs
// root; elsewhere the test says why it skips.
#include <gtest/gtest.h>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "messages/form_world.h"
#include "support/cli_run.h"

namespace egresso {
namespace {

// A group and two of its members, made for the test and removed after it.
class OfficeAccounts {
 public:
  OfficeAccounts() {
    const std::string tag = "egr" + std::to_string(::getpid());
    group = tag + "g";
    ok_ = test::RunCommand("groupadd " + group).code == 0;
    for (const char* who : {"a", "b"}) {
      const std::string name = tag + who;
      ok_ = ok_ && test::RunCommand("useradd -M -N -g " + group + " -s /bin/sh " + name).code == 0;
      names.push_back(name);
    }
  }
  ~OfficeAccounts() {
    for (const auto& n : names) test::RunCommand("userdel " + n);
    test::RunCommand("groupdel " + group);
  }
  bool ok() const { return ok_; }
  gid_t gid() const {
    const struct group* g = ::getgrnam(group.c_str());
    return g != nullptr ? g->gr_gid : 0;
  }

  std::string group;
  std::vector<std::string> names;

 private:
  bool ok_ = false;
};

// egresso-cli run by account with its umask; standard error comes with the output.
std::string As(const std::string& account, const std::string& group) {
  return "setpriv --reuid=" + account + " --regid=" + group + " --init-groups ";
}
test::CliOutput RunAs(const std::string& account, const std::string& group, const std::string& umask,
                      const std::filesystem::path& home, const std::vector<std::string>& args) {
  std::string command = As(account, group) + "env HOME=" + test::ShellQuoted(home.string()) + " sh -c 'umask " +
                        umask + "; exec \"$0\" \"$@\"' " +
                        test::ShellQuoted(std::string(EGRESSO_PROGRAM_DIR) + "/egresso-cli");
  for (const auto& a : args) command += " " + test::ShellQuoted(a);
  return test::RunCommand("{ " + command + " 2>&1; }");
}

int SentNumber(const std::string& out) {
  const auto at = out.find("Message ");
  return at == std::string::npos ? -1 : std::atoi(out.c_str() + at + 8);
}

TEST(TwoAccounts, EachReadsAndWritesWhatTheOtherWroteWhateverTheUmask) {
  if (::geteuid() != 0) GTEST_SKIP() << "making two Linux accounts with useradd needs root";
  if (test::RunCommand("command -v useradd && command -v setpriv").code != 0)
    GTEST_SKIP() << "useradd or setpriv is not installed";
  OfficeAccounts office;
  ASSERT_TRUE(office.ok()) << "groupadd/useradd failed";
  test::FormWorld w("ANN");
  w.ws.mcfg.setU8(mcfg::InOutLog, 1);
  w.saveConfig();
  // The office's set-up: a set-group folder of the group, its files the group's.
  const gid_t gid = office.gid();
  for (const auto& e : std::filesystem::recursive_directory_iterator(w.dir.path())) {
    ASSERT_EQ(::chown(e.path().c_str(), 0, gid), 0);
    ::chmod(e.path().c_str(), e.is_directory() ? 02770 : 0660);
  }
  ASSERT_EQ(::chown(w.dir.str().c_str(), 0, gid), 0);
  ASSERT_EQ(::chmod(w.dir.str().c_str(), 02770), 0);
  test::TempDir homes;  // the accounts' own state folder, outside the data folder
  const std::filesystem::path home = homes.path();
  ::chown(home.c_str(), 0, gid);
  ::chmod(home.c_str(), 02770);
  const std::string md = "/MD=" + w.dir.str();
  const std::string& ann = office.names[0];
  const std::string& bob = office.names[1];

  // Each step in turn, each account writing over or after what the other made.
  struct Step {
    const std::string* account;
    const char* umask;
    std::vector<std::string> args;
    const char* shows;  // a part of the output
  };
  int toBob = -1, toAnn = -1;
  const std::vector<Step> steps = {
      {&ann, "022", {"out", "--to", "Bank", "--back", "11:59P", "/TU=ANN"}, "ANN out"},
      {&ann, "022", {"send", "--to", "BOB", "--subject", "Hi", "--text", "Text from Ann", "/TU=ANN"}, "Message "},
      {&bob, "077", {"read", "#BOB", "/TU=BOB"}, "Text from Ann"},
      {&bob, "077", {"out", "--who", "ANN", "--to", "Court", "--back", "11:58P", "/TU=ANN"}, "ANN out"},
      {&bob, "077", {"out", "--to", "Post", "--back", "11:59P", "/TU=BOB"}, "BOB out"},
      {&bob, "077", {"send", "--to", "ANN,BOB", "--subject", "Re", "--text", "Text from Bob", "/TU=BOB"}, "Message "},
      {&ann, "022", {"read", "#ANN", "/TU=ANN"}, "Text from Bob"},
      {&ann, "022", {"send", "--to", "BOB", "--subject", "Again", "--text", "More", "/TU=ANN"}, "Message "},
      {&ann, "022", {"in", "--who", "BOB", "/TU=ANN"}, "BOB in"},
      {&bob, "077", {"in", "--who", "ANN", "/TU=BOB"}, "ANN in"},
  };
  for (const Step& s : steps) {
    std::vector<std::string> args = s.args;
    if (args[0] == "read") args[1] = std::to_string(args[1] == "#BOB" ? toBob : toAnn);
    args.push_back(md);
    const test::CliOutput r = RunAs(*s.account, office.group, s.umask, home, args);
    EXPECT_EQ(r.code, 0) << *s.account << " " << args[0] << ": " << r.out;
    EXPECT_NE(r.out.find(s.shows), std::string::npos) << *s.account << " " << args[0] << ": " << r.out;
    if (args[0] == "send" && toBob < 0) toBob = SentNumber(r.out);
    else if (args[0] == "send" && toAnn < 0) toAnn = SentNumber(r.out);
  }

  // A body another account's older program left to itself alone: the read
  // is an error that names the file, never headers over an empty text.
  const std::filesystem::path body = BodyFilePath(w.ws, BoardSet::Messages, toAnn);
  ASSERT_EQ(test::RunCommand(As(bob, office.group) + "chmod 0600 " + test::ShellQuoted(body.string())).code, 0);
  test::CliOutput r = RunAs(ann, office.group, "022", home, {"read", std::to_string(toAnn), "/TU=ANN", md});
  EXPECT_NE(r.code, 0) << r.out;
  EXPECT_NE(r.out.find(body.filename().string()), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("Subject:"), std::string::npos) << r.out;
  ::chmod(body.c_str(), 0660);

  // Nothing of the folder is closed to the group, nor of another group.
  for (const auto& e : std::filesystem::recursive_directory_iterator(w.dir.path())) {
    struct stat st {};
    ASSERT_EQ(::lstat(e.path().c_str(), &st), 0);
    const mode_t wanted = S_ISDIR(st.st_mode) ? 02770 : 0660;
    EXPECT_EQ(st.st_mode & wanted, wanted) << e.path() << " has mode " << std::oct << (st.st_mode & 07777);
    EXPECT_EQ(st.st_gid, gid) << e.path();
  }
}

}  // namespace
}  // namespace egresso
