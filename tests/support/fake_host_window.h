// A host window that records what the host logic asks of it.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "startup/host.h"

namespace egresso::test {

// Records what the host asks of its window.
class FakeHostWindow : public HostWindow {
 public:
  std::vector<std::string> calls;
  std::set<std::string> missingIcons;
  std::string modalError;
  bool active = false;
  int period = 0;

  int screenDpi() override { return 96; }
  ScreenArea screenArea() override { return {0, 0, 1024, 768}; }
  void createAlertForm() override { calls.push_back("alert"); }
  void setApplicationTitle(const std::string& t) override { calls.push_back("title:" + t); }
  bool loadIcon(const std::string& path) override {
    calls.push_back("icon:" + path);
    return missingIcons.count(path) == 0;
  }
  void setHostCaption(const std::string& c) override { calls.push_back("caption:" + c); }
  void showHost() override { calls.push_back("show"); }
  void setHostBounds(int l, int t, int w, int h) override {
    calls.push_back("bounds:" + std::to_string(l) + "," + std::to_string(t) + "," + std::to_string(w) + "," +
                    std::to_string(h));
  }
  void setTimerPeriod(int ms) override { period = ms; }
  void minimiseHost() override { calls.push_back("minimiseHost"); }
  bool isApplicationActive() override { return active; }
  void minimiseApplication() override { calls.push_back("minimise"); }
  void restoreApplication() override { calls.push_back("restore"); }
  void closeHost() override { calls.push_back("closeHost"); }
  void closeBoard() override { calls.push_back("closeBoard"); }
  void switchBoard() override { calls.push_back("switch"); }
  std::string showBoardModally() override {
    calls.push_back("modal");
    return modalError;
  }
  void signOutOnExit(int slot) override { calls.push_back("signOut:" + std::to_string(slot)); }

  int count(const std::string& call) const {
    int n = 0;
    for (const auto& c : calls) n += c == call;
    return n;
  }
};

}  // namespace egresso::test
