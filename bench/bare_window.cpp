// The yardstick of the program's start-up, memory and idle load: an empty
// main window of the same toolkit, shown and left to the message loop.
// With --label it shows one line of text, and so pays, as every window
// with text does, for loading the system's font configuration.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <cstring>

#include "platform/shown_note_qt.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QMainWindow window;
  window.resize(636, 480);
  if (argc > 1 && std::strcmp(argv[1], "--label") == 0) window.setCentralWidget(new QLabel("A bare window"));
  egresso::ShownNote note(window);
  window.show();
  return QApplication::exec();
}
