// The yardstick of the program's start-up, memory and idle load: an empty
// main window of the same toolkit, shown and left to the message loop.
// With --label it shows one line of text, and so pays, as every window
// with text does, for loading the system's font configuration.
// With --board-texts it shows, in stock controls, the texts of the demo
// board's first screen in the board's two faces: what any window showing
// them pays, without reading a data folder or drawing a line of its own.
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstring>

#include "platform/shown_note_qt.h"

namespace {

QFont FixedPitch() {
  QFont f("Liberation Mono");
  f.setStyleHint(QFont::TypeWriter);
  f.setFixedPitch(true);
  f.setStyleStrategy(QFont::PreferNoShaping);
  f.setHintingPreference(QFont::PreferNoHinting);
  f.setPointSizeF(10);
  return f;
}

QWidget* BoardTexts(QMainWindow& window) {
  for (const char* title : {"&File", "&Edit", "&Print", "&Switch to Messages", "&Tools", "&Help"})
    window.menuBar()->addMenu(title);
  auto* central = new QWidget;
  auto* layout = new QVBoxLayout(central);
  layout->addWidget(new QPushButton("Out"));
  auto* memo = new QPlainTextEdit("No announcement yet. Click here and type one; everybody will see it.");
  memo->setMaximumHeight(48);
  layout->addWidget(memo);
  auto* heading = new QLabel("Name                  Where                               Return     Date");
  heading->setFont(FixedPitch());
  layout->addWidget(heading);
  auto* list = new QListWidget;
  list->setFont(FixedPitch());
  list->addItems({"Ann Baker",
                  "Bob Carter            Client visit, Harbour Street 12      2:30P",
                  "Claire Dumont         Dentist                             11:00A",
                  "Daniel Evans          Trade fair in Lyon                   9:00A 10DEC26",
                  "Eva Fischer",
                  "Frank Garcia          Lunch with a supplier                1:15P",
                  "Gilles Hart           Working from home, call 555-0142     5:30P"});
  layout->addWidget(list);
  return central;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QMainWindow window;
  window.resize(636, 480);
  if (argc > 1 && std::strcmp(argv[1], "--label") == 0) window.setCentralWidget(new QLabel("A bare window"));
  if (argc > 1 && std::strcmp(argv[1], "--board-texts") == 0) window.setCentralWidget(BoardTexts(window));
  egresso::ShownNote note(window);
  window.show();
  return QApplication::exec();
}
