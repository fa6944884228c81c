#include "support/fake_platform.h"

#include <unistd.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <utility>

namespace egresso::test {

void FakeClock::advanceMs(std::int64_t ms) {
  mono += ms;
  std::int64_t total = ((current.hour * 60LL + current.minute) * 60 + current.second) * 1000 + current.millisecond + ms;
  std::int64_t dayMs = 24LL * 3600 * 1000;
  while (total >= dayMs) {
    total -= dayMs;
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int dim = kDays[current.month - 1] + (current.month == 2 && current.year % 4 == 0 ? 1 : 0);
    if (++current.day > dim) {
      current.day = 1;
      if (++current.month > 12) {
        current.month = 1;
        ++current.year;
      }
    }
  }
  current.millisecond = static_cast<int>(total % 1000);
  total /= 1000;
  current.second = static_cast<int>(total % 60);
  total /= 60;
  current.minute = static_cast<int>(total % 60);
  current.hour = static_cast<int>(total / 60);
}

int FakeDialogs::ultimateDialog(const DialogRequest& r) {
  dialogs.push_back(r);
  if (!r.message.empty() && r.message[0] == '*') return 0;
  // Taken off while it runs: what it does may show dialogs of its own.
  if (auto during = std::exchange(whileShown, nullptr)) during(r);
  if (answers.empty()) return 1;
  int a = answers.front();
  answers.pop_front();
  return a;
}

std::string FakeDialogs::allText() const {
  std::string all;
  for (const auto& d : dialogs) all += d.message + "\n" + (d.detail.empty() ? "" : d.detail + "\n");
  for (const auto& b : boxes) all += b + "\n";
  return all;
}

int FakeEvents::processEvents() {
  ++pumps;
  if (noted) return std::exchange(noted, 0);
  if (keys.empty()) return 0;
  int k = keys.front();
  keys.pop_front();
  return k;
}

void FakeEvents::sleepMs(int ms) {
  slept += ms;
  if (typeDuringNextSleep) noted = std::exchange(typeDuringNextSleep, 0);
  if (clock) clock->advanceMs(ms);
  // Not again from the pauses of what it does itself.
  if (duringSleep && !inHook_) {
    inHook_ = true;
    duringSleep();
    inHook_ = false;
  }
}

void FakePasswordPrompt::run(PasswordDialog& dialog) {
  ++runs;
  shown.push_back(dialog.view);
  while (!dialog.view.Closed) {
    Press press;
    if (!script.empty()) {
      press = script.front();
      script.pop_front();
    } else {
      press.cancel = true;
    }
    // An edit takes no more than its maximum length.
    dialog.view.Text = press.text.substr(0, static_cast<std::size_t>(dialog.view.MaxLength));
    dialog.view.Choice2Selected = press.choice2;
    dialog.OKBtnClick(press.cancel);
    labels.push_back(dialog.view.Label);
  }
}

Platform FakePlatform::platform() {
  Platform p;
  p.clock = &clock;
  p.dialogs = &dialogs;
  p.events = &events;
  p.lockAlert = &lockAlert;
  p.shell = &shell;
  p.clipboard = &clipboard;
  p.sound = &sound;
  p.help = &help;
  p.tray = &tray;
  p.serial = &serial;
  p.passwordPrompt = &password;
  return p;
}

TempDir::TempDir(const std::filesystem::path& base) {
  static std::atomic<int> counter{0};
  const auto folder = base.empty() ? std::filesystem::temp_directory_path() : base;
  for (;;) {
    path_ = folder / ("egresso-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
    if (std::filesystem::create_directory(path_)) break;
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

std::string readFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeFile(const std::filesystem::path& p, const std::string& content) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << content;
}

std::vector<std::string> LockFilesIn(const std::filesystem::path& folder) {
  std::vector<std::string> found;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = e.path().filename().string();
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".LOK") == 0) found.push_back(name);
  }
  return found;
}

}  // namespace egresso::test
