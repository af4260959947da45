// zyn-render pdf and svg: the PNG's chart as vector shapes and text.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>

namespace {

struct TRun {
    int Status = -1;
    QByteArray Out, Err;
};

TRun RunProgram(const QString& program, const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("LC_ALL", "C");
    p.setProcessEnvironment(env);
    p.start(program, args);
    p.waitForFinished(120000);
    return TRun{p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
                p.readAllStandardError()};
}

TRun Tool(const char* name, const QStringList& args) { return RunProgram(QString(ZYN_BINARY_DIR "/tools/") + name, args); }

// Pixels whose colour is another one than the PNG's: a channel further off than `tolerance`.
// Only within `area`.
int Differing(const QImage& a, const QImage& b, const QRect& area, int tolerance) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) > tolerance || std::abs(qGreen(p) - qGreen(q)) > tolerance ||
                std::abs(qBlue(p) - qBlue(q)) > tolerance)
                ++n;
        }
    return n;
}

int Inked(const QImage& image, const QRect& area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) n += image.pixel(x, y) != qRgb(255, 255, 255);
    return n;
}

// Two years of days at the viewer's designed size: more candles than pixel columns, so the
// series are composed as on screen; zoomed, a few dozen days drawn one by one.
TEST(RenderVector, PdfAndSvgShowThePngsChartWithItsLabelsAsText) {
    for (const char* tool : {"pdftotext", "pdftoppm", "rsvg-convert"})
        if (QStandardPaths::findExecutable(tool).isEmpty())
            GTEST_SKIP() << tool << " is not installed (./setup.sh installs poppler-utils and librsvg2-bin)";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const TRun gen = Tool("zyn-gen-data", {"--out", dir.path(), "--rows", "2000", "DAX"});
    ASSERT_EQ(gen.Status, 0) << gen.Err.toStdString();
    const QString file = dir.filePath("DAX.mht");

    struct TView {
        QStringList Options;
        double Share;  // of the plot's pixels that may differ beyond the colour tolerance
    };
    const TView views[] = {{{}, 0.001}, {{"--drag", "left:300,100:420,250"}, 0.01}};
    for (const TView& view : views) {
        SCOPED_TRACE(view.Options.join(' ').toStdString());
        const QStringList options = QStringList{"--size", "673x378"} + view.Options;
        const QString png = dir.filePath("c.png"), pdf = dir.filePath("c.pdf"), svg = dir.filePath("c.svg");
        for (const auto& [command, out] : {std::pair{"png", png}, {"pdf", pdf}, {"svg", svg}}) {
            const TRun r = Tool("zyn-render", QStringList{command, file, out} + options);
            ASSERT_EQ(r.Status, 0) << command << ": " << r.Err.toStdString();
        }
        const TRun layout = Tool("zyn-render", QStringList{"layout", file} + options);
        ASSERT_EQ(layout.Status, 0);
        const QJsonObject o = QJsonDocument::fromJson(layout.Out).object();

        // The title and every label the layout lists, as text of the PDF and of the SVG.
        const TRun text = RunProgram("pdftotext", {pdf, "-"});
        ASSERT_EQ(text.Status, 0) << text.Err.toStdString();
        QFile svgFile(svg);
        ASSERT_TRUE(svgFile.open(QIODevice::ReadOnly));
        const QByteArray svgText = svgFile.readAll();
        QStringList labels{"DAX"};
        for (const char* axis : {"bottom", "left", "right"})
            for (const QJsonValue& label : o["axes"].toObject()[axis].toObject()["labels"].toArray())
                labels << label.toObject()["text"].toString();
        ASSERT_GT(labels.size(), 10);
        for (const QString& label : labels) {
            EXPECT_TRUE(QString::fromUtf8(text.Out).contains(label)) << label.toStdString();
            EXPECT_TRUE(svgText.contains(">" + label.toUtf8() + "</text>")) << label.toStdString();
        }

        // Rendered back at one pixel per point (and per SVG pixel): the PNG's geometry. A
        // rasteriser meets rectangle edges on whole pixels but may give the pixel beyond a right or
        // bottom edge a trace of coverage; text and slanted lines are antialiased there: a channel
        // within 96 of the PNG's counts as the same colour, and within the plot only a small
        // share of pixels (glyphs of no label lie there; the edges of slanted lines) may differ.
        const TRun toPng = RunProgram("pdftoppm", {"-r", "72", "-png", "-singlefile", pdf, dir.filePath("pdf")});
        ASSERT_EQ(toPng.Status, 0) << toPng.Err.toStdString();
        const TRun svgToPng = RunProgram("rsvg-convert", {"-b", "white", "-o", dir.filePath("svg.png"), svg});
        ASSERT_EQ(svgToPng.Status, 0) << svgToPng.Err.toStdString();
        const QImage expected = QImage(png).convertToFormat(QImage::Format_RGB32);
        const QJsonArray plotRect = o["plotRect"].toArray();
        const QRect plot(QPoint(plotRect[0].toInt(), plotRect[1].toInt()), QPoint(plotRect[2].toInt(), plotRect[3].toInt()));
        const QRect inside = plot.adjusted(1, 1, -1, -2);  // within the frame, where series are clipped
        ASSERT_GT(Inked(expected, inside), inside.width() * inside.height() / 10);
        for (const QString& back : {dir.filePath("pdf.png"), dir.filePath("svg.png")}) {
            SCOPED_TRACE(back.toStdString());
            const QImage actual = QImage(back).convertToFormat(QImage::Format_RGB32);
            ASSERT_EQ(actual.size(), expected.size());
            // The frame around the plot, the axes' lines and the ticks below and beside it.
            EXPECT_EQ(Differing(expected, actual, QRect(plot.left(), plot.top(), plot.width() + 1, 1), 96), 0);
            EXPECT_EQ(Differing(expected, actual, QRect(plot.left(), plot.top(), 1, plot.height()), 96), 0);
            EXPECT_EQ(Differing(expected, actual, QRect(plot.left() - 6, plot.bottom() - 1, plot.width() + 12, 7), 96), 0);
            EXPECT_EQ(Differing(expected, actual, QRect(plot.right(), plot.top(), 7, plot.height()), 96), 0);
            EXPECT_LE(Differing(expected, actual, inside, 96), view.Share * inside.width() * inside.height());
            // Outside the plot only the labels' glyphs.
            EXPECT_LE(Differing(expected, actual, expected.rect(), 96) - Differing(expected, actual, inside, 96),
                      40 * labels.size());
        }
    }
}

}  // namespace
