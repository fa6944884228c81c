// The yardstick of the program's start-up, memory and idle load: an empty
// main window of the same toolkit, shown and left to the message loop.
#include <QApplication>
#include <QMainWindow>

#include "platform/shown_note_qt.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QMainWindow window;
  window.resize(636, 480);
  egresso::ShownNote note(window);
  window.show();
  return QApplication::exec();
}
