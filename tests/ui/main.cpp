// Runs the window tests: every class, or the one named as the first argument (further
// arguments go to Qt Test: test function names, -v2, ...). The application is the program's:
// guarded events, Qt's texts in French.
#include <QApplication>
#include <QTest>
#include <memory>
#include <vector>

#include "ui/event_guard.h"
#include "ui/french.h"

QObject* NewDialogLoadTest();
QObject* NewDialogDisplayTest();
QObject* NewRealSizeWindowTest();
QObject* NewHostTest();
QObject* NewPictureImageTest();
QObject* NewDialogLayoutTest();
QObject* NewLoadingTest();
QObject* NewGuardTest();

int main(int argc, char** argv) {
  kivrel::ui::GuardedApplication app(argc, argv);
  kivrel::ui::InstallQtFrench(app);
  QApplication::setQuitOnLastWindowClosed(false);
  std::vector<std::unique_ptr<QObject>> tests;
  for (QObject* (*make)() : {NewDialogLoadTest, NewDialogDisplayTest, NewRealSizeWindowTest,
                             NewHostTest, NewPictureImageTest, NewDialogLayoutTest,
                             NewLoadingTest, NewGuardTest})
    tests.emplace_back(make());

  const QString only = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
  std::vector<char*> args = {argv[0]};
  for (int i = 2; i < argc; ++i)
    args.push_back(argv[i]);
  int failed = 0;
  for (const auto& test : tests) {
    if (!only.isEmpty() && only != test->metaObject()->className()) continue;
    failed += QTest::qExec(test.get(), static_cast<int>(args.size()), args.data());
  }
  return failed == 0 ? 0 : 1;
}
