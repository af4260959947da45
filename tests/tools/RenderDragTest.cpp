// zyn-render layout --drag: mouse drags on the viewer's chart change the axes as on screen.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>

#include <string>

namespace {

const QString kFile = QString(ZYN_SOURCE_DIR) + "/Data/DAX.mht";

// The layout after the given drags, at 600 × 400.
QJsonObject LayoutAfter(const QStringList& drags) {
    QStringList args{"layout", kFile, "--size", "600x400"};
    for (const QString& d : drags) args << "--drag" << d;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    p.start(QString(ZYN_BINARY_DIR) + "/tools/zyn-render", args);
    EXPECT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(p.readAllStandardOutput(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError);
    return doc.object();
}

QJsonObject Axis(const QJsonObject& layout, const char* name) {
    return layout["axes"].toObject()[name].toObject();
}

// The value at a pixel with the axis' mapping of that frame.
double ValueAt(const QJsonObject& axis, int pixel, bool horizontal) {
    const double lo = axis["rangeMin"].toDouble(), hi = axis["rangeMax"].toDouble();
    const int start = axis["startPixel"].toInt(), end = axis["endPixel"].toInt();
    const double t = (pixel - start) * (hi - lo) / (end - start);
    return horizontal ? lo + t : hi - t;
}

class RenderDrag : public ::testing::Test {
protected:
    static void SetUpTestSuite() { before_ = new QJsonObject(LayoutAfter({})); }
    static void TearDownTestSuite() {
        delete before_;
        before_ = nullptr;
    }
    static const QJsonObject& Before() { return *before_; }
    static QJsonObject* before_;
};
QJsonObject* RenderDrag::before_ = nullptr;

TEST_F(RenderDrag, LeftDragRightAndDownZoomsAllFourAxes) {
    const QJsonObject o = LayoutAfter({"left:200,100:217,117"});
    const QJsonObject bottom = Axis(o, "bottom"), right = Axis(o, "right"), left = Axis(o, "left"),
                      top = Axis(o, "top");
    EXPECT_NEAR(bottom["minimum"].toDouble(), ValueAt(Axis(Before(), "bottom"), 200, true), 1e-9);
    EXPECT_NEAR(bottom["maximum"].toDouble(), ValueAt(Axis(Before(), "bottom"), 217, true), 1e-9);
    EXPECT_NEAR(right["minimum"].toDouble(), ValueAt(Axis(Before(), "right"), 117, false), 1e-6);
    EXPECT_NEAR(right["maximum"].toDouble(), ValueAt(Axis(Before(), "right"), 100, false), 1e-6);
    // The signal axis is zoomed through its own mapping: the rectangle lies above its band.
    EXPECT_NEAR(left["minimum"].toDouble(), ValueAt(Axis(Before(), "left"), 117, false), 1e-9);
    EXPECT_NEAR(left["maximum"].toDouble(), ValueAt(Axis(Before(), "left"), 100, false), 1e-9);
    EXPECT_GT(left["minimum"].toDouble(), 6);
    EXPECT_EQ(top["minimum"].toDouble(), 0);
    EXPECT_NEAR(top["maximum"].toDouble(), 1e-10, 1e-20);
    // Fixed ranges take no series margins.
    EXPECT_EQ(bottom["rangeMin"].toDouble(), bottom["minimum"].toDouble());
}

TEST_F(RenderDrag, SixteenPixelsAndPressesOffThePlotChangeNothing) {
    const QJsonObject axes = Before()["axes"].toObject();
    const int titleY = Before()["titleBox"].toArray()[1].toInt() + 2;
    for (const QString& drag : {QString("left:200,100:216,200"), QString("left:200,100:300,116"),
                                QString("right:300,%1:200,%1").arg(titleY), QString("left:3,200:400,300"),
                                QString("right:3,200:100,250")}) {
        EXPECT_EQ(LayoutAfter({drag})["axes"].toObject(), axes) << drag.toStdString();
    }
}

TEST_F(RenderDrag, RightDragPansByThePointersMovement) {
    const QJsonObject o = LayoutAfter({"right:300,150:250,170"});
    const QJsonObject b0 = Axis(Before(), "bottom"), r0 = Axis(Before(), "right");
    const double dx = ValueAt(b0, 300, true) - ValueAt(b0, 250, true);
    const double dy = ValueAt(r0, 150, false) - ValueAt(r0, 170, false);
    ASSERT_GT(dx, 0);
    ASSERT_GT(dy, 0);  // dragged down: larger values come in
    // The first step starts from the unwidened ends: the series margins are dropped.
    EXPECT_NEAR(Axis(o, "bottom")["minimum"].toDouble(), b0["minimum"].toDouble() + dx, 1e-9);
    EXPECT_NEAR(Axis(o, "bottom")["maximum"].toDouble(), b0["maximum"].toDouble() + dx, 1e-9);
    EXPECT_NEAR(Axis(o, "right")["minimum"].toDouble(), r0["minimum"].toDouble() + dy, 1e-6);
    EXPECT_NEAR(Axis(o, "right")["maximum"].toDouble(), r0["maximum"].toDouble() + dy, 1e-6);
    // A right drag that leaves the plot on its first move scrolls nothing.
    EXPECT_EQ(LayoutAfter({"right:300,150:590,150"})["axes"].toObject(), Before()["axes"].toObject());
}

TEST_F(RenderDrag, OneUndoAfterTwoZoomsAndAPanRestoresTheFirstRanges) {
    const QJsonObject o =
        LayoutAfter({"left:100,60:450,300", "left:150,80:350,200", "right:300,150:280,140", "left:400,300:120,70"});
    EXPECT_EQ(o["axes"].toObject(), Before()["axes"].toObject());
    EXPECT_EQ(Axis(o, "left")["minimum"].toDouble(), -6);
    EXPECT_EQ(Axis(o, "left")["maximum"].toDouble(), 6);
}

}  // namespace
