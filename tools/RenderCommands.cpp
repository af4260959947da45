#include "tools/RenderCommands.h"

#include <QGuiApplication>
#include <QFile>
#include <QImage>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/ChartSetup.h"
#include "app/LocaleSettings.h"
#include "chart/qt/ChartExport.h"
#include "chart/qt/QtCanvas.h"
#include "data/DataFile.h"
#include "data/RunError.h"

namespace zyn::tools {

using namespace zyn::chart;

namespace {

// A mouse drag, or a wheel turn of Notches at pixel column X0 when Wheel is set; applied in
// the order given.
struct TDrag {
    TMouseButton Button;
    int X0, Y0, X1, Y1;
    bool Wheel = false;
    int Notches = 0;
};

struct TRenderOptions {
    std::string File;
    std::string Out;
    int Width = 1280, Height = 800;
    std::optional<std::string> Title;
    bool Projection = true;
    std::vector<TDrag> Drags;
};

bool ParseInt(std::string_view text, int& out) {
    const auto r = std::from_chars(text.data(), text.data() + text.size(), out);
    return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

bool ParseSize(std::string_view text, int& w, int& h) {
    const size_t x = text.find('x');
    if (x == std::string_view::npos) return false;
    return ParseInt(text.substr(0, x), w) && ParseInt(text.substr(x + 1), h) && w > 0 && h > 0 && w <= 16384 &&
           h <= 16384;
}

bool ParsePoint(std::string_view text, int& x, int& y) {
    const size_t c = text.find(',');
    if (c == std::string_view::npos) return false;
    return ParseInt(text.substr(0, c), x) && ParseInt(text.substr(c + 1), y);
}

// BUTTON:X0,Y0:X1,Y1
bool ParseDrag(std::string_view text, TDrag& drag) {
    const size_t a = text.find(':');
    if (a == std::string_view::npos) return false;
    const size_t b = text.find(':', a + 1);
    if (b == std::string_view::npos) return false;
    const std::string_view button = text.substr(0, a);
    if (button == "left")
        drag.Button = TMouseButton::mbLeft;
    else if (button == "right")
        drag.Button = TMouseButton::mbRight;
    else
        return false;
    return ParsePoint(text.substr(a + 1, b - a - 1), drag.X0, drag.Y0) && ParsePoint(text.substr(b + 1), drag.X1, drag.Y1);
}

// X:NOTCHES (positive zooms in)
bool ParseWheel(std::string_view text, TDrag& wheel) {
    const size_t c = text.find(':');
    if (c == std::string_view::npos) return false;
    wheel.Wheel = true;
    return ParseInt(text.substr(0, c), wheel.X0) && ParseInt(text.substr(c + 1), wheel.Notches);
}

// argv[0] is the program, argv[1] the sub-command.
bool ParseOptions(int argc, char** argv, bool withOut, TRenderOptions& o) {
    int positional = 0;
    const int wanted = withOut ? 2 : 1;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--size" && i + 1 < argc) {
            if (!ParseSize(argv[++i], o.Width, o.Height)) return false;
        } else if (arg == "--title" && i + 1 < argc) {
            o.Title = argv[++i];
        } else if (arg == "--no-projection") {
            o.Projection = false;
        } else if (arg == "--drag" && i + 1 < argc) {
            TDrag d{};
            if (!ParseDrag(argv[++i], d)) return false;
            o.Drags.push_back(d);
        } else if (arg == "--wheel" && i + 1 < argc) {
            TDrag d{};
            if (!ParseWheel(argv[++i], d)) return false;
            o.Drags.push_back(d);
        } else if (arg.starts_with("--")) {
            return false;
        } else if (positional == 0) {
            o.File = arg;
            ++positional;
        } else if (positional == 1 && withOut) {
            o.Out = arg;
            ++positional;
        } else {
            return false;
        }
    }
    return positional == wanted;
}

// command: "png", "pdf", "svg" (each with an output file) or "layout".
void Usage(std::string_view command) {
    std::cerr << "usage: zyn-render " << command << " FILE";
    if (command != "layout") std::cerr << " OUT." << command;
    std::cerr << " [--size WxH] [--title TEXT] [--no-projection] [--drag left|right:X0,Y0:X1,Y1]... "
                 "[--wheel X:NOTCHES]...\n";
}

std::string DefaultTitle(const std::string& file) {
    std::string name = std::filesystem::path(file).filename().string();
    if (name.size() >= 4 && name.compare(name.size() - 4, 4, ".mht") == 0) name.resize(name.size() - 4);
    return name;
}

// The platform's chatter would mix with the tool's own output; only errors get through.
void QuietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) std::cerr << message.toStdString() << "\n";
}

// The application object the QPainter canvas and fonts need; no window is opened.
std::unique_ptr<QGuiApplication> MakeApplication(int& argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QuietMessages);
    return std::make_unique<QGuiApplication>(argc, argv);
}

struct TRendered {
    std::unique_ptr<TChart> Chart;
    TQtCanvas* Canvas = nullptr;
    app::TChart1Series Series;
};

// Reads the file as the viewer loads it; a failure prints the error box's text.
bool ReadRecords(const std::string& file, RecordList& records) {
    try {
        ReadDataFile(file, records);
        return true;
    } catch (const std::exception& e) {
        std::cerr << ErrorBoxText(e.what()) << "\n";
        return false;
    }
}

// The viewer's Chart1 for the records, after a first frame and the drags.
void Render(const TRenderOptions& o, const RecordList& records, TRendered& out) {
    auto canvas = std::make_unique<TQtCanvas>();
    out.Canvas = canvas.get();
    out.Chart = std::make_unique<TChart>(std::move(canvas));
    TChart& chart = *out.Chart;
    chart.FormatSettings = app::SystemFormatSettings();
    out.Series = app::SetupChart1(chart);
    chart.SetBounds(o.Width, o.Height);
    app::FillChart1(chart, out.Series, records, o.Title ? *o.Title : DefaultTitle(o.File), o.Projection);
    const TRect frame{0, 0, o.Width, o.Height};
    chart.DrawChart(frame);
    for (const TDrag& d : o.Drags) {
        if (d.Wheel) {
            // As a wheel over the chart zooms: 1.25 per notch around the value under the pointer.
            chart.ZoomHorizontal(std::pow(1.25, d.Notches), chart.BottomAxis().PixelToValue(d.X0));
            chart.DrawChart(frame);
            continue;
        }
        chart.MouseDown(d.Button, 0, d.X0, d.Y0);
        chart.MouseMove(0, d.X1, d.Y1);
        chart.MouseUp(d.Button, 0, d.X1, d.Y1);
        chart.DrawChart(frame);
    }
}

void Number(std::ostream& os, double v) {
    if (!std::isfinite(v)) {
        os << "null";
        return;
    }
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    os.write(buf, r.ptr - buf);
}

void String(std::ostream& os, std::string_view s) {
    os << '"';
    for (unsigned char c : s) {
        switch (c) {
            case '"': os << "\\\""; break;
            case '\\': os << "\\\\"; break;
            case '\n': os << "\\n"; break;
            case '\r': os << "\\r"; break;
            case '\t': os << "\\t"; break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    os << buf;
                } else {
                    os << static_cast<char>(c);
                }
        }
    }
    os << '"';
}

void Rect(std::ostream& os, const TRect& r) {
    os << '[' << r.Left << ", " << r.Top << ", " << r.Right << ", " << r.Bottom << ']';
}

const char* StyleName(TAxisLabelStyle s) {
    switch (s) {
        case TAxisLabelStyle::talValue: return "value";
        case TAxisLabelStyle::talText:
        case TAxisLabelStyle::talMark: return "text";
        default: return "none";
    }
}

void WriteLayout(std::ostream& os, TRendered& r, const TRenderOptions& o) {
    TChart& chart = *r.Chart;
    ApplyFont(chart.Canvas(), chart.BottomAxis().LabelsFont);
    const int fontHeight = chart.Canvas().FontLineHeight();
    os << "{\n  \"size\": [" << o.Width << ", " << o.Height << "],\n";
    os << "  \"fontHeight\": " << fontHeight << ",\n";
    os << "  \"plotRect\": ";
    Rect(os, chart.PlotRect);
    os << ",\n  \"titleBox\": ";
    Rect(os, chart.Title.TitleBox);
    os << ",\n  \"axes\": {";
    const std::pair<const char*, TCustomChartAxis*> axes[] = {
        {"bottom", &chart.BottomAxis()}, {"top", &chart.TopAxis()}, {"left", &chart.LeftAxis()}, {"right", &chart.RightAxis()}};
    bool firstAxis = true;
    for (const auto& [name, axis] : axes) {
        const bool shown = chart.AxisShown(*axis);
        os << (firstAxis ? "\n" : ",\n") << "    \"" << name << "\": {\"shown\": " << (shown ? "true" : "false");
        firstAxis = false;
        os << ", \"minimum\": ";
        Number(os, axis->Minimum());
        os << ", \"maximum\": ";
        Number(os, axis->Maximum());
        os << ", \"rangeMin\": ";
        Number(os, axis->RangeMin);
        os << ", \"rangeMax\": ";
        Number(os, axis->RangeMax);
        os << ", \"startPixel\": " << axis->StartPixel << ", \"endPixel\": " << axis->EndPixel;
        os << ", \"linePosition\": " << axis->LinePosition << ", \"labelsPosition\": " << axis->LabelsPosition;
        os << ", \"labelStep\": ";
        Number(os, shown ? axis->LastLabelStep : 0);
        os << ", \"isDateTime\": " << (axis->IsDateTimeAxis ? "true" : "false");
        os << ", \"labelStyle\": \"" << StyleName(axis->ResolvedLabelStyle()) << "\", \"labels\": [";
        if (shown) {
            bool firstLabel = true;
            for (const auto& label : axis->DrawnLabels) {
                os << (firstLabel ? "" : ", ") << "{\"value\": ";
                firstLabel = false;
                Number(os, label.Value);
                os << ", \"pixel\": " << label.Pixel << ", \"text\": ";
                String(os, label.Text);
                os << '}';
            }
        }
        os << "]}";
    }
    os << "\n  },\n  \"series\": [";
    bool firstSeries = true;
    for (TChartSeries* s : chart.SeriesList()) {
        int left = 0, right = 0, top = 0, bottom = 0;
        s->HorizontalMargins(left, right);
        s->VerticalMargins(top, bottom);
        os << (firstSeries ? "\n" : ",\n") << "    {\"name\": ";
        firstSeries = false;
        String(os, s->Name);
        os << ", \"count\": " << s->Count() << ", \"firstVisible\": " << s->FirstVisibleIndex
           << ", \"lastVisible\": " << s->LastVisibleIndex << ", \"marginLeft\": " << left
           << ", \"marginRight\": " << right << ", \"marginTop\": " << top << ", \"marginBottom\": " << bottom;
        if (auto* bar = dynamic_cast<TCustomBarSeries*>(s)) os << ", \"barPixelWidth\": " << bar->BarPixelWidth;
        os << '}';
    }
    os << "\n  ]\n}\n";
}

// Parses, reads and renders; then hands the frame to the command's output.
template <class Output>
int RunRenderCommand(int argc, char** argv, std::string_view command, Output output) {
    TRenderOptions o;
    if (!ParseOptions(argc, argv, command != "layout", o)) {
        Usage(command);
        return 2;
    }
    RecordList records;
    if (!ReadRecords(o.File, records)) return 1;
    auto app = MakeApplication(argc, argv);
    TRendered r;
    Render(o, records, r);
    return output(o, r);
}

}  // namespace

int RunPng(int argc, char** argv) {
    return RunRenderCommand(argc, argv, "png", [](const TRenderOptions& o, TRendered& r) {
        if (r.Canvas->Image().save(QString::fromStdString(o.Out), "PNG")) return 0;
        std::cerr << "cannot write " << o.Out << "\n";
        return 1;
    });
}

namespace {

// The chart's frame as a document of the chart's size, written to the output file.
template <class Document>
int RunDocument(int argc, char** argv, std::string_view command, Document document) {
    return RunRenderCommand(argc, argv, command, [&](const TRenderOptions& o, TRendered& r) {
        const QString title = QString::fromStdString(o.Title ? *o.Title : DefaultTitle(o.File));
        const QByteArray bytes = document(*r.Chart, o.Width, o.Height, title);
        QFile file(QString::fromStdString(o.Out));
        if (!bytes.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush())
            return 0;
        std::cerr << "cannot write " << o.Out << "\n";
        return 1;
    });
}

}  // namespace

int RunPdf(int argc, char** argv) { return RunDocument(argc, argv, "pdf", ChartPdf); }

int RunSvg(int argc, char** argv) { return RunDocument(argc, argv, "svg", ChartSvg); }

int RunLayout(int argc, char** argv) {
    return RunRenderCommand(argc, argv, "layout", [](const TRenderOptions& o, TRendered& r) {
        WriteLayout(std::cout, r, o);
        return 0;
    });
}

}  // namespace zyn::tools
