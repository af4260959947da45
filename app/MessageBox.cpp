#include "app/MessageBox.h"

#include <QApplication>
#include <QWidget>

namespace zyn {

std::function<void(const TMessageBoxRequest&)> MessageBoxHook;

void ShowMessageBox(const QString& text, QMessageBox::Icon icon) {
    const TMessageBoxRequest request{QGuiApplication::applicationDisplayName(), text, icon};
    if (MessageBoxHook) {
        MessageBoxHook(request);
        return;
    }
    QMessageBox box(request.Icon, request.Caption, request.Text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

}  // namespace zyn
