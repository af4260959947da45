#pragma once
#include <QApplication>
#include <QIcon>
#include <functional>
#include <string>

namespace zyn {

inline constexpr const char* ApplicationTitle = "ZYN-Viewer";

// The application object. Its event dispatch is the one place where errors raised by event
// handlers are caught: they are shown in the error box and the program carries on.
class TApplication : public QApplication {
    Q_OBJECT

public:
    TApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Runs an event handler inside the application's event dispatch. Handlers are started
    // this way rather than straight from a widget's signal so that an error they raise never
    // has to unwind through the toolkit's own frames on its way to the error box.
    // Without a TApplication the handler simply runs and its errors reach the caller.
    static void Dispatch(const std::function<void()>& handler);

    // The error box: the message (with its closing "."), the title, the stop icon, OK.
    static void ShowErrorBox(const std::string& message);

    // The application's icon as built into the program.
    static QIcon BuiltInIcon();
};

}  // namespace zyn
