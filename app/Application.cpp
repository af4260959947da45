#include "app/Application.h"

#include <QEvent>
#include <QFile>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>
#include <exception>
#include <optional>
#include <utility>

#include "app/MessageBox.h"
#include "data/RunError.h"

namespace zyn {

namespace {

// Carries a handler to the application's dispatch. It holds its own copy, so the event stays
// sound however long it waits for delivery.
class THandlerEvent : public QEvent {
public:
    explicit THandlerEvent(std::function<void()> handler) : QEvent(EventType()), handler_(std::move(handler)) {}

    static QEvent::Type EventType() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }

    void Run() const { handler_(); }

private:
    const std::function<void()> handler_;
};

}  // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(ApplicationTitle);
    setApplicationDisplayName(ApplicationTitle);
    // The desktop entry's name: a Wayland compositor matches the windows to the menu entry by it.
    setDesktopFileName(QStringLiteral(ZYN_APP_ID));
    // The installed icon, so a theme may restyle it; the built-in copy where it is missing.
    setWindowIcon(QIcon::fromTheme(QStringLiteral(ZYN_APP_ID), BuiltInIcon()));
    // The window speaks German; the toolkit's dialogs and buttons follow, whatever the locale.
    auto* translator = new QTranslator(this);
    if (translator->load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(translator);
    else
        delete translator;
}

QIcon TApplication::BuiltInIcon() {
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString file = QStringLiteral(":/icons/%1.png").arg(size);
        if (QFile::exists(file)) icon.addFile(file, QSize(size, size));
    }
    return icon;
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    std::optional<std::string> error;
    try {
        if (event->type() == THandlerEvent::EventType()) {
            static_cast<THandlerEvent*>(event)->Run();
            return true;
        }
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        error = e.what();
    }
    // Shown outside the catch block: the box runs its own event loop.
    ShowErrorBox(*error);
    return true;
}

void TApplication::Dispatch(const std::function<void()>& handler) {
    auto* application = qobject_cast<TApplication*>(QCoreApplication::instance());
    if (!application) {
        handler();
        return;
    }
    THandlerEvent event(handler);
    QCoreApplication::sendEvent(application, &event);
}

void TApplication::ShowErrorBox(const std::string& message) {
    ShowMessageBox(QString::fromStdString(ErrorBoxText(message)), QMessageBox::Critical);
}

}  // namespace zyn
