#include "app/LocaleSettings.h"

#include <QLocale>
#include <QString>

namespace zyn::app {

namespace {

// Qt writes minutes as "m" and 24-hour clock hours as "H"; the engine's patterns use "n"
// for minutes and "h" for hours. AM/PM markers and time zones are dropped.
std::string ToEnginePattern(const QString& qt, bool isTime) {
    std::string out;
    bool quoted = false;
    for (QChar qc : qt) {
        const char32_t c = qc.unicode();
        if (c == '\'') {
            quoted = !quoted;
            out += '\'';
            continue;
        }
        if (quoted) {
            out += QString(qc).toStdString();
            continue;
        }
        if (isTime && c == 'm') {
            out += 'n';
        } else if (c == 'H') {
            out += 'h';
        } else if (c == 'A' || c == 'a' || c == 'P' || c == 'p' || c == 't') {
            continue;
        } else {
            out += QString(qc).toStdString();
        }
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

}  // namespace

chart::TFormatSettings SystemFormatSettings() {
    const QLocale locale = QLocale::system();
    chart::TFormatSettings fs;
    fs.DecimalSeparator = locale.decimalPoint().toStdString();
    fs.ThousandSeparator = locale.groupSeparator().toStdString();
    fs.ShortDateFormat = ToEnginePattern(locale.dateFormat(QLocale::ShortFormat), false);
    fs.ShortTimeFormat = ToEnginePattern(locale.timeFormat(QLocale::ShortFormat), true);
    if (fs.ShortDateFormat.empty()) fs.ShortDateFormat = "dd.MM.yyyy";
    if (fs.ShortTimeFormat.empty()) fs.ShortTimeFormat = "hh:nn";
    return fs;
}

}  // namespace zyn::app
