#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QMainWindow board;
  board.setWindowTitle("Egresso");
  board.resize(644, 484);
  board.show();
  return app.exec();
}
