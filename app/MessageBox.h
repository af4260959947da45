#pragma once
#include <QMessageBox>
#include <QString>
#include <functional>

namespace zyn {

// One message for the user: the caption is always the application title.
struct TMessageBoxRequest {
    QString Caption;
    QString Text;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    QWidget* Owner = nullptr;  // the window the box opens over
};

// When set, receives every message instead of a modal box being shown (lets tests run
// without a person clicking OK).
extern std::function<void(const TMessageBoxRequest&)> MessageBoxHook;

// Shows text in a modal box with the application title as caption and one OK button.
void ShowMessageBox(const QString& text, QMessageBox::Icon icon);

}  // namespace zyn
