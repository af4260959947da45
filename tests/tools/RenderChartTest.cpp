// zyn-render png and layout: the viewer's chart rendered without a window.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <cmath>
#include <fstream>
#include <string>

namespace {

struct TRun {
    int Status = -1;
    QByteArray Out, Err;
};

TRun RunRender(const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("LC_ALL", "C");
    p.setProcessEnvironment(env);
    p.start(QString(ZYN_BINARY_DIR) + "/tools/zyn-render", args);
    p.waitForFinished(60000);
    return TRun{p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
                p.readAllStandardError()};
}

// Five days, newest first; the rises and falls alternate so both candle colours appear.
std::string SmallFile() {
    std::string s = "MIME-Version: 1.0\r\n<x:SupBook>\r\n";
    const double opens[] = {110, 104, 108, 100, 103};
    const double closes[] = {104, 108, 100, 103, 101};
    for (int day = 5; day >= 1; --day) {
        const double o = opens[5 - day], c = closes[5 - day];
        const double h = std::max(o, c) + 2, l = std::min(o, c) - 2;
        auto num = [&](double v) { s += " <x:Number>" + std::to_string(v) + "</x:Number>\r\n"; };
        s += " <x:Crn>\r\n <x:Text>2024-01-0" + std::to_string(day) + "</x:Text>\r\n";
        num(o), num(h), num(l), num(c);
        for (int t = 0; t < 6; ++t) s += t % 2 ? " <x:Text>UP</x:Text>\r\n" : " <x:Text>DOWN</x:Text>\r\n";
        num(h + 5), num(l - 5);
        const double p = (h + l + c) / 3;
        for (double v : {p, 2 * p - l, p + (h - l), h + 2 * (p - l), 2 * p - h, p - (h - l), l - 2 * (h - p)}) num(v);
        s += " </x:Crn>\r\n";
    }
    return s + "</x:SupBook>\r\n";
}

class RenderChart : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        file_ = dir_.filePath("DAX.mht");
        std::ofstream(file_.toStdString(), std::ios::binary) << SmallFile();
    }
    QTemporaryDir dir_;
    QString file_;
};

QJsonObject Layout(const QStringList& args) {
    const TRun r = RunRender(QStringList{"layout"} + args);
    EXPECT_EQ(r.Status, 0) << r.Err.toStdString();
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(r.Out, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << r.Out.toStdString();
    return doc.object();
}

std::vector<int> Ints(const QJsonValue& v) {
    std::vector<int> out;
    for (const QJsonValue& x : v.toArray()) out.push_back(x.toInt());
    return out;
}

TEST_F(RenderChart, LayoutFollowsTheLayoutRules) {
    const QJsonObject o = Layout({file_, "--size", "600x400"});
    const int h = o["fontHeight"].toInt();
    ASSERT_GT(h, 8);
    EXPECT_EQ(Ints(o["size"]), (std::vector<int>{600, 400}));
    // border 2, margins 3 % and 4 %: (20, 18, 580, 382); the title takes h + 5
    const std::vector<int> plot = Ints(o["plotRect"]);
    EXPECT_EQ(Ints(o["titleBox"]), (std::vector<int>{20, 18, 580, 18 + h}));
    EXPECT_EQ(plot[1], 18 + h + 5);
    const QJsonObject axes = o["axes"].toObject();
    const QJsonObject bottom = axes["bottom"].toObject(), left = axes["left"].toObject(),
                      right = axes["right"].toObject(), top = axes["top"].toObject();
    // the bottom axis: labels one font height high, then 2 + 4 px for line and ticks
    EXPECT_EQ(bottom["labelsPosition"].toInt(), 382 - h);
    EXPECT_EQ(plot[3], 382 - h - 6);
    EXPECT_EQ(bottom["linePosition"].toInt(), plot[3]);
    EXPECT_EQ(left["linePosition"].toInt(), plot[0]);
    EXPECT_EQ(left["labelsPosition"].toInt(), plot[0] - 6);
    EXPECT_EQ(right["linePosition"].toInt(), plot[2]);
    EXPECT_EQ(right["labelsPosition"].toInt(), plot[2] + 6);
    EXPECT_FALSE(top["shown"].toBool());
    // the two bands
    const int height = plot[3] - plot[1];
    const int split = plot[1] + static_cast<int>(std::nearbyint(height * 0.01 * 85));
    EXPECT_EQ(right["startPixel"].toInt(), plot[1]);
    EXPECT_EQ(right["endPixel"].toInt(), split);
    EXPECT_EQ(left["startPixel"].toInt(), split);
    EXPECT_EQ(left["endPixel"].toInt(), plot[3]);
    EXPECT_EQ(left["rangeMin"].toDouble(), -6);
    EXPECT_EQ(left["rangeMax"].toDouble(), 6);
    EXPECT_EQ(bottom["labelStyle"].toString(), "text");
    EXPECT_TRUE(bottom["isDateTime"].toBool());
    EXPECT_EQ(right["labelStyle"].toString(), "value");

    // bars: 5 days + 1 slot on the bottom axis, 70 % of the slot, shared by two series, even
    const int a = plot[2] - plot[0];
    const int slot = a / 6;
    int width = static_cast<int>(std::nearbyint(0.7 * slot)) / 2;
    if (width % 2) ++width;
    const QJsonArray series = o["series"].toArray();
    ASSERT_EQ(series.size(), 14);
    const QJsonObject trend = series[12].toObject();
    EXPECT_EQ(trend["name"].toString(), "SeriesZYN_Trend");
    EXPECT_EQ(trend["barPixelWidth"].toInt(), width);
    EXPECT_EQ(trend["marginLeft"].toInt(), 2 * width);
    EXPECT_EQ(series[0].toObject()["marginLeft"].toInt(), 5);   // candle pointer 4 + 1
    EXPECT_EQ(series[1].toObject()["marginTop"].toInt(), 3);    // midpoint circles 2 + 1
    EXPECT_EQ(series[7].toObject()["marginBottom"].toInt(), 3); // pivot stairs, pen 2 + 1
    EXPECT_EQ(series[4].toObject()["count"].toInt(), 4);        // projection: no levels at day 0
    EXPECT_EQ(series[0].toObject()["firstVisible"].toInt(), 0);
    EXPECT_EQ(series[0].toObject()["lastVisible"].toInt(), 4);
    // the bottom range 0 .. 4 widened so that the outermost days keep m pixels free
    const int m = std::max(5, 2 * width);
    const double perPixel = 4.0 / (a - 2 * m);
    EXPECT_NEAR(bottom["rangeMin"].toDouble(), -m * perPixel, 1e-9);
    EXPECT_NEAR(bottom["rangeMax"].toDouble(), 4 + m * perPixel, 1e-9);
    EXPECT_EQ(bottom["minimum"].toDouble(), 0);
    EXPECT_EQ(bottom["maximum"].toDouble(), 4);
    // the price axis takes the highest high and the lowest low of candles and levels
    EXPECT_GT(right["maximum"].toDouble(), 112);
    // left labels 6 … -6 on the step, drawn from the top
    const QJsonArray leftLabels = left["labels"].toArray();
    ASSERT_FALSE(leftLabels.isEmpty());
    const double step = left["labelStep"].toDouble();
    EXPECT_TRUE(step == 2 || step == 5) << step;
    double v = step * std::trunc(6 / step);
    for (const QJsonValue& l : leftLabels) {
        EXPECT_EQ(l.toObject()["value"].toDouble(), v);
        EXPECT_EQ(l.toObject()["pixel"].toInt(), plot[3] - static_cast<int>(std::nearbyint((v + 6) * (plot[3] - split) / 12)));
        v -= step;
    }
    EXPECT_LT(v, -6);
    EXPECT_GE(v + step, -6);
    // every drawn bottom label is a candle date at its day's pixel
    const QJsonArray bottomLabels = bottom["labels"].toArray();
    ASSERT_FALSE(bottomLabels.isEmpty());
    for (const QJsonValue& l : bottomLabels) {
        const double day = l.toObject()["value"].toDouble();
        const double x = bottom["startPixel"].toInt() + (day - bottom["rangeMin"].toDouble()) *
                                                          (bottom["endPixel"].toInt() - bottom["startPixel"].toInt()) /
                                                          (bottom["rangeMax"].toDouble() - bottom["rangeMin"].toDouble());
        EXPECT_EQ(l.toObject()["pixel"].toInt(), static_cast<int>(std::nearbyint(x)));
    }
}

TEST_F(RenderChart, TitleProjectionAndDragOptions) {
    QJsonObject o = Layout({file_, "--size", "600x400", "--no-projection", "--title", "EURUSD"});
    EXPECT_EQ(o["series"].toArray()[4].toObject()["count"].toInt(), 5);
    const QJsonObject right = o["axes"].toObject()["right"].toObject();
    // the currency pair format: four decimals
    const QString text = right["labels"].toArray().first().toObject()["text"].toString();
    EXPECT_EQ(text.size() - text.indexOf('.') - 1, 4) << text.toStdString();

    // a left drag right and down zooms the bottom axis into the rectangle
    o = Layout({file_, "--size", "600x400", "--drag", "left:200,100:400,200"});
    const QJsonObject bottom = o["axes"].toObject()["bottom"].toObject();
    const QJsonObject before = Layout({file_, "--size", "600x400"})["axes"].toObject()["bottom"].toObject();
    auto valueAt = [&](int px) {
        return before["rangeMin"].toDouble() + (px - before["startPixel"].toInt()) *
                                                   (before["rangeMax"].toDouble() - before["rangeMin"].toDouble()) /
                                                   (before["endPixel"].toInt() - before["startPixel"].toInt());
    };
    EXPECT_NEAR(bottom["minimum"].toDouble(), valueAt(200), 1e-9);
    EXPECT_NEAR(bottom["maximum"].toDouble(), valueAt(400), 1e-9);
    // then a drag up and left undoes it
    o = Layout({file_, "--size", "600x400", "--drag", "left:200,100:400,200", "--drag", "left:400,200:200,100"});
    EXPECT_EQ(o["axes"].toObject()["bottom"].toObject()["minimum"].toDouble(), 0);
}

TEST_F(RenderChart, PngShowsTheViewersColours) {
    const QString out = dir_.filePath("chart.png");
    const TRun r = RunRender({"png", file_, out, "--size", "640x480"});
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    QImage image(out);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(640, 480));
    int green = 0, red = 0, fuchsia = 0, white = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y) & 0xFFFFFF;
            green += c == 0x008000;
            red += c == 0xFF0000;
            fuchsia += c == 0xFF00FF;
            white += c == 0xFFFFFF;
        }
    EXPECT_GT(green, 50);   // rising bodies (and levels)
    EXPECT_GT(red, 50);     // falling bodies (and supports)
    EXPECT_GT(fuchsia, 5);  // the midpoint line and circles
    EXPECT_GT(white, image.width() * image.height() / 2);
    // the black frame of the plot: a horizontal run at the top edge of the plot
    const QJsonObject o = Layout({file_, "--size", "640x480"});
    const std::vector<int> plot = Ints(o["plotRect"]);
    for (int x = plot[0] + 1; x < plot[2]; x += 37) EXPECT_EQ(image.pixel(x, plot[1]) & 0xFFFFFF, 0u) << x;
    EXPECT_EQ(image.pixel(plot[0], (plot[1] + plot[3]) / 2) & 0xFFFFFF, 0u);
}

TEST_F(RenderChart, FailuresAndUsage) {
    const QString bad = dir_.filePath("bad.mht");
    std::ofstream(bad.toStdString(), std::ios::binary) << "<x:SupBook>\r\n<x:Text>2024-13-01</x:Text>\r\n";
    const QString out = dir_.filePath("none.png");
    TRun r = RunRender({"png", bad, out});
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err.toStdString(), "Ungültiges Argument zum Codieren des Datums.\n");
    EXPECT_FALSE(QFile::exists(out));
    r = RunRender({"layout", dir_.filePath("missing.mht")});
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err.toStdString(), "Datei nicht gefunden.\n");
    EXPECT_EQ(RunRender({"png", file_}).Status, 2);
    EXPECT_EQ(RunRender({"layout", file_, "--size", "0x5"}).Status, 2);
    EXPECT_EQ(RunRender({"layout", file_, "--drag", "middle:1,1:2,2"}).Status, 2);
    EXPECT_EQ(RunRender({"layout", file_, "--wheel", "300"}).Status, 2);
    EXPECT_EQ(RunRender({"layout", file_, "--wheel", "300:x"}).Status, 2);
}

}  // namespace
