#include "chart/qt/ChartExport.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QRegularExpression>
#include <QSvgGenerator>

#include <algorithm>
#include <stdexcept>

#include "chart/Chart.h"
#include "chart/qt/VectorCanvas.h"

namespace zyn::chart {

namespace {

// One frame of the chart onto `target` of an open painter.
void DrawFrame(TCustomChartPanel& chart, int width, int height, QPainter& painter, const QRectF& target) {
    TVectorCanvas canvas(painter, target);
    chart.DrawChartOn(canvas, TRect{0, 0, width, height});
}

void Begin(QPainter& painter, QPaintDevice& device, const char* what) {
    if (!painter.begin(&device)) throw std::runtime_error(std::string("Das Diagramm kann nicht als ") + what + " gezeichnet werden");
}

// What the generator writes beyond what the picture needs: a size in millimetres, which a
// viewer rounds up to a pixel more than the chart's, identity transforms and fonts on every
// group (each text names its own), and groups left empty by a change of pen or brush. Most of
// a long chart's file is these attributes, once for every change of colour.
QByteArray Tidy(const QByteArray& svg, int width, int height) {
    QString text = QString::fromUtf8(svg);
    static const QRegularExpression size(QStringLiteral("<svg width=\"[^\"]*\" height=\"[^\"]*\""));
    text.replace(size, QStringLiteral("<svg width=\"%1\" height=\"%2\"").arg(width).arg(height));
    static const QRegularExpression group(QStringLiteral("<g ([^>]*)>"));
    static const QRegularExpression identity(QStringLiteral(" transform=\"matrix\\(1,0,0,1,0,0\\)\""));
    static const QRegularExpression font(
        QStringLiteral("\\s*font-family=\"[^\"]*\" font-size=\"[^\"]*\" font-weight=\"[^\"]*\" font-style=\"[^\"]*\"\\s*"));
    QString tidy;
    tidy.reserve(text.size());
    qsizetype at = 0;
    for (QRegularExpressionMatchIterator it = group.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        tidy += QStringView(text).mid(at, m.capturedStart() - at);
        QString attributes = m.captured(1);
        attributes.remove(identity).remove(font);
        tidy += QStringLiteral("<g ") + attributes.trimmed() + u'>';
        at = m.capturedEnd();
    }
    tidy += QStringView(text).mid(at);
    static const QRegularExpression empty(QStringLiteral("<g [^>]*>\\s*</g>\\s*"));
    tidy.remove(empty);
    return tidy.toUtf8();
}

// The footer's face: the one of the chart's labels, at a size that reads on paper.
QFont FooterFont() {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8);
    return font;
}

}  // namespace

QByteArray ChartPdf(TCustomChartPanel& chart, int width, int height, const QString& title) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageLayout(QPageLayout(QPageSize(QSizeF(width, height), QPageSize::Point, QString(), QPageSize::ExactMatch),
                                         QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Point));
        // One device pixel per point: a chart pixel's edges lie on whole numbers of the page.
        writer.setResolution(72);
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("ZYN-Viewer"));
        QPainter painter;
        Begin(painter, writer, "PDF");
        // Points of the page in the writer's device pixels.
        const qreal scale = writer.resolution() / 72.0;
        DrawFrame(chart, width, height, painter, QRectF(0, 0, width * scale, height * scale));
        painter.end();
    }
    return bytes;
}

QByteArray ChartSvg(TCustomChartPanel& chart, int width, int height, const QString& title) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QSvgGenerator generator;
        generator.setOutputDevice(&buffer);
        generator.setSize(QSize(width, height));
        generator.setViewBox(QRect(0, 0, width, height));
        // At 96 pixels per inch the document's size is the chart's in the web's pixels.
        generator.setResolution(96);
        generator.setTitle(title);
        generator.setDescription(QStringLiteral("ZYN-Viewer"));
        QPainter painter;
        Begin(painter, generator, "SVG");
        DrawFrame(chart, width, height, painter, QRectF(0, 0, width, height));
        painter.end();
    }
    return Tidy(bytes, width, height);
}

void PrintChart(TCustomChartPanel& chart, int width, int height, QPrinter& printer, const QString& left,
                const QString& right) {
    QPainter painter;
    if (!painter.begin(&printer)) throw std::runtime_error("Der Drucker kann nicht beginnen");
    const QRectF area(0, 0, printer.width(), printer.height());
    const QFont font = FooterFont();
    const QFontMetricsF metrics(font, &printer);
    const qreal gap = metrics.height() * 0.6;
    const qreal room = std::max<qreal>(1, area.height() - metrics.height() - gap);
    const qreal scale = std::min(area.width() / std::max(1, width), room / std::max(1, height));
    const QRectF target(area.left() + (area.width() - width * scale) / 2, area.top(), width * scale, height * scale);
    DrawFrame(chart, width, height, painter, target);

    // The footer along the frame's width: what is shown on the left, when on the right.
    painter.setFont(font);
    painter.setPen(QColor(0x40, 0x40, 0x40));
    const qreal baseline = target.bottom() + gap + metrics.ascent();
    const qreal rightWidth = metrics.horizontalAdvance(right);
    const QString shown = metrics.elidedText(left, Qt::ElideRight, std::max<qreal>(0, target.width() - rightWidth - metrics.height()));
    painter.drawText(QPointF(target.left(), baseline), shown);
    painter.drawText(QPointF(target.right() - rightWidth, baseline), right);
    painter.end();
}

}  // namespace zyn::chart
