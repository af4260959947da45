#include "app/MessageBox.h"

#include <QApplication>
#include <QMainWindow>
#include <QWidget>

namespace zyn {

std::function<void(const TMessageBoxRequest&)> MessageBoxHook;

namespace {

// The active window, or while none is active (a window system without a window manager may
// activate none) the shown main window.
QWidget* BoxOwner() {
    if (QWidget* active = QApplication::activeWindow()) return active;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && qobject_cast<QMainWindow*>(window)) return window;
    }
    return nullptr;
}

}  // namespace

void ShowMessageBox(const QString& text, QMessageBox::Icon icon) {
    const TMessageBoxRequest request{QGuiApplication::applicationDisplayName(), text, icon, BoxOwner()};
    if (MessageBoxHook) {
        MessageBoxHook(request);
        return;
    }
    QMessageBox box(request.Icon, request.Caption, request.Text, QMessageBox::Ok, request.Owner);
    box.exec();
}

}  // namespace zyn
