#pragma once
#include <QApplication>

#include <cstdlib>

namespace zyn::test {

// The QPainter canvas needs an application object; made once per test executable and kept
// for the whole run (tearing it down at exit would outlive the tests' Qt objects).
inline void EnsureApplication() {
    if (QCoreApplication::instance()) return;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "test_chartqt";
    static char* argv[] = {name, nullptr};
    static QApplication* application = new QApplication(argc, argv);
    (void)application;
}

}  // namespace zyn::test
