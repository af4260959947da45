#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <stdexcept>

#include "app/Application.h"
#include "data/RunError.h"
#include "tests/app/TestApplication.h"

namespace zyn::test {
namespace {

TEST(ApplicationTest, IsTitledForEveryBox) {
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "ZYN-Viewer");
}

// The desktop knows the windows by the desktop entry's name and shows the application's icon;
// the toolkit's own dialogs speak German as the window does.
TEST(ApplicationTest, IsADesktopCitizenThatSpeaksGerman) {
    EXPECT_EQ(QGuiApplication::desktopFileName(), "org.zynviewer.ZynViewer");
    EXPECT_FALSE(TApplication::BuiltInIcon().isNull());
    EXPECT_FALSE(QGuiApplication::windowIcon().isNull());
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), "Suchen in:");
}

TEST(ApplicationTest, DispatchShowsAnErrorInTheErrorBoxAndCarriesOn) {
    TMessageCapture messages;
    TApplication::Dispatch([] { throw RunError("Dateizugriff verweigert"); });
    TApplication::Dispatch([] { throw RunError("Schon mit Punkt."); });
    TApplication::Dispatch([] { throw std::runtime_error("Komma,"); });
    TApplication::Dispatch([] { throw std::runtime_error(""); });
    bool ran = false;
    TApplication::Dispatch([&ran] { ran = true; });

    EXPECT_TRUE(ran);
    ASSERT_EQ(messages.Boxes.size(), 4u);
    EXPECT_EQ(messages.Boxes[0].Text, "Dateizugriff verweigert.");
    EXPECT_EQ(messages.Boxes[1].Text, "Schon mit Punkt.");
    EXPECT_EQ(messages.Boxes[2].Text, "Komma,");
    EXPECT_EQ(messages.Boxes[3].Text, "");
    for (const TMessageBoxRequest& box : messages.Boxes) {
        EXPECT_EQ(box.Caption, "ZYN-Viewer");
        EXPECT_EQ(box.Icon, QMessageBox::Critical);
    }
}

// An object whose event handler fails, like any handler bound straight to an event.
class TFailingObject : public QObject {
public:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User) throw RunError("E/A-Fehler 5");
        return QObject::event(event);
    }
};

TEST(ApplicationTest, AnErrorLeavingAnyEventHandlerReachesTheErrorBox) {
    TMessageCapture messages;
    TFailingObject object;
    QEvent event(QEvent::User);
    QCoreApplication::sendEvent(&object, &event);

    ASSERT_EQ(messages.Boxes.size(), 1u);
    EXPECT_EQ(messages.Boxes[0].Text, "E/A-Fehler 5.");
    EXPECT_EQ(messages.Boxes[0].Caption, "ZYN-Viewer");
    EXPECT_EQ(messages.Boxes[0].Icon, QMessageBox::Critical);
}

}  // namespace
}  // namespace zyn::test
