// The moment a window is first on screen, for the speed suite that compares
// the program's start-up with a bare window's. With EGRESSO_REPORT_SHOWN=1
// the CLOCK_MONOTONIC time (nanoseconds) is written to standard error as
// "[shown] <ns>" once the window's first painting is done; with
// EGRESSO_EXIT_WHEN_SHOWN=1 it is written and the program then ends as if
// closed. Without either variable nothing is watched.
#pragma once

#include <time.h>

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace egresso {

class ShownNote : public QObject {
 public:
  explicit ShownNote(QWidget& window) : report_(set("EGRESSO_REPORT_SHOWN")), exit_(set("EGRESSO_EXIT_WHEN_SHOWN")) {
    if (report_ || exit_) window.installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !seen_) {
      seen_ = true;
      // The window's controls are painted in the same pass, after the
      // window itself: the note waits for the pass to end.
      QTimer::singleShot(0, this, [this] {
        timespec t{};
        ::clock_gettime(CLOCK_MONOTONIC, &t);
        std::fprintf(stderr, "[shown] %lld\n", static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec);
        std::fflush(stderr);
        if (exit_) QCoreApplication::quit();
      });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  static bool set(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && std::strcmp(v, "1") == 0;
  }
  bool report_;
  bool exit_;
  bool seen_ = false;
};

}  // namespace egresso
