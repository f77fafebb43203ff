#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Ordalyn");
  QMainWindow window;
  window.setWindowTitle("Ordalyn");
  window.resize(771, 592);
  window.show();
  return QApplication::exec();
}
