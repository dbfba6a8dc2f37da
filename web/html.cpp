#include "web/html.h"

#include <algorithm>
#include <cmath>

namespace web::html {

namespace {

// Inline, so a page is one answer and works without any other file.
const char* const Style = R"(
body{font-family:"DejaVu Sans",sans-serif;margin:0;color:#222;background:#fafafa}
header{background:#234;color:#fff;padding:.5em 1em;display:flex;gap:1.5em;align-items:center}
header a{color:#fff}header form{margin-left:auto}
main{padding:1em}
table{border-collapse:collapse;background:#fff;font-size:90%}
th,td{border:1px solid #ccc;padding:.2em .5em;text-align:left;vertical-align:top}
th{background:#eef}
td.n,#month td+td,#month th+th{text-align:right}
tr.nolink td.state,tr.fault td.state{background:#f6c7c7}
tr.abnormal td.state,tr.downtime td.state,tr.gaps td.state{background:#fbe8b5}
tr.normal td.state{background:#d7f0d2}
tr.notrecorded td,tr.nodata td{color:#777;font-style:italic}
tr.open td{font-weight:bold}
.reasons{font-size:85%;color:#555}
.err{color:#a00;font-weight:bold}
form.filter{margin-bottom:1em}
svg{background:#fff;border:1px solid #ccc}
)";

} // namespace

QString escape(const QString& text) {
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&':
            out += QStringLiteral("&amp;");
            break;
        case '<':
            out += QStringLiteral("&lt;");
            break;
        case '>':
            out += QStringLiteral("&gt;");
            break;
        case '"':
            out += QStringLiteral("&quot;");
            break;
        case '\'':
            out += QStringLiteral("&#39;");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QStringList escape(const QStringList& texts) {
    QStringList out;
    for (const QString& t : texts)
        out << escape(t);
    return out;
}

QByteArray page(const QString& title, const QString& body, const QString& user) {
    QString nav = QStringLiteral("<header><strong>Kastari</strong><a href=\"/\">Парк приборов</a>");
    if (!user.isEmpty())
        nav += QStringLiteral("<form method=\"post\" action=\"/logout\">%1 "
                              "<button type=\"submit\">Выйти</button></form>")
                   .arg(escape(user));
    nav += QStringLiteral("</header>");
    return (QStringLiteral("<!DOCTYPE html>\n<html lang=\"ru\"><head><meta charset=\"utf-8\">"
                           "<meta name=\"viewport\" content=\"width=device-width\"><title>") +
            escape(title) + QStringLiteral("</title><style>") + QString::fromLatin1(Style) +
            QStringLiteral("</style></head><body>") + nav + QStringLiteral("<main>") + body +
            QStringLiteral("</main></body></html>\n"))
        .toUtf8();
}

QString table(const QStringList& heading, const QList<QStringList>& rows, const QStringList& rowClasses,
              const QString& id) {
    QString out = id.isEmpty() ? QStringLiteral("<table><thead><tr>")
                               : QStringLiteral("<table id=\"%1\"><thead><tr>").arg(id);
    for (const QString& h : heading)
        out += QStringLiteral("<th>") + h + QStringLiteral("</th>");
    out += QStringLiteral("</tr></thead><tbody>");
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QString cls = rowClasses.value(i);
        out += cls.isEmpty() ? QStringLiteral("<tr>") : QStringLiteral("<tr class=\"%1\">").arg(cls);
        for (const QString& c : rows[i])
            out += c.startsWith(QStringLiteral("<td")) ? c
                                                       : QStringLiteral("<td>") + c + QStringLiteral("</td>");
        out += QStringLiteral("</tr>");
    }
    return out + QStringLiteral("</tbody></table>");
}

QString chart(const QString& title, const QList<Bar>& bars) {
    constexpr double Width = 900, Height = 260, Left = 60, Top = 20, Bottom = 40;
    const double plot = Height - Top - Bottom;
    double top = 0, bottom = 0;
    for (const Bar& b : bars)
        if (b.state == Bar::State::Value && std::isfinite(b.plus) && std::isfinite(b.minus)) {
            top = std::max(top, b.plus);
            bottom = std::max(bottom, b.minus);
        }
    if (top + bottom <= 0) top = 1;
    const double scale = plot / (top + bottom);
    const double zero = Top + top * scale;
    const double step = bars.isEmpty() ? 0 : (Width - Left - 10) / double(bars.size());
    QString svg =
        QStringLiteral("<figure><figcaption>%1</figcaption>"
                       "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%2\" height=\"%3\" "
                       "viewBox=\"0 0 %2 %3\" role=\"img\"><defs><pattern id=\"hatch\" width=\"6\" "
                       "height=\"6\" patternUnits=\"userSpaceOnUse\" patternTransform=\"rotate(45)\">"
                       "<line x1=\"0\" y1=\"0\" x2=\"0\" y2=\"6\" stroke=\"#999\" stroke-width=\"2\"/>"
                       "</pattern></defs>")
            .arg(escape(title), QString::number(Width), QString::number(Height));
    const auto num = [](double v) { return QString::number(v, 'f', 1); };
    svg += QStringLiteral("<line x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%2\" stroke=\"#444\"/>")
               .arg(num(Left), num(zero), num(Width - 10));
    svg += QStringLiteral("<text x=\"4\" y=\"%1\" font-size=\"11\">%2</text>")
               .arg(num(Top + 10), QString::number(top, 'g', 4) + QStringLiteral(" м3"));
    if (bottom > 0)
        svg += QStringLiteral("<text x=\"4\" y=\"%1\" font-size=\"11\">−%2</text>")
                   .arg(num(Height - Bottom), QString::number(bottom, 'g', 4));
    const int labelEvery = std::max(1, int(std::ceil(28.0 / std::max(1.0, step))));
    for (qsizetype i = 0; i < bars.size(); ++i) {
        const Bar& b = bars[i];
        const double x = Left + i * step + step * 0.1, w = step * 0.8;
        QString tip = b.label + QStringLiteral(": ");
        switch (b.state) {
        case Bar::State::Value:
            svg += QStringLiteral("<rect class=\"plus\" x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" "
                                  "fill=\"#3a7bd5\"><title>%5</title></rect>")
                       .arg(num(x), num(zero - b.plus * scale), num(w), num(std::max(0.0, b.plus * scale)),
                            escape(tip + QString::number(b.plus, 'f', 3) + QStringLiteral(" м3")));
            if (b.minus > 0)
                svg += QStringLiteral("<rect class=\"minus\" x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" "
                                      "fill=\"#d5713a\"><title>%5</title></rect>")
                           .arg(num(x), num(zero), num(w), num(b.minus * scale),
                                escape(tip + QStringLiteral("−") + QString::number(b.minus, 'f', 3)));
            break;
        case Bar::State::NotRecorded:
            svg += QStringLiteral("<rect class=\"notrecorded\" x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" "
                                  "fill=\"url(#hatch)\"><title>%5</title></rect>")
                       .arg(num(x), num(Top), num(w), num(plot),
                            escape(tip + QStringLiteral("не записан прибором")));
            break;
        case Bar::State::Unread:
            svg += QStringLiteral(
                       "<rect class=\"unread\" x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" "
                       "fill=\"none\" stroke=\"#bbb\" stroke-dasharray=\"3,3\"><title>%5</title></rect>")
                       .arg(num(x), num(Top), num(w), num(plot), escape(tip + QStringLiteral("нет данных")));
            break;
        }
        if (i % labelEvery == 0)
            svg += QStringLiteral("<text x=\"%1\" y=\"%2\" font-size=\"10\">%3</text>")
                       .arg(num(x), num(Height - Bottom + 14), escape(b.label));
    }
    svg += QStringLiteral(
               "<g font-size=\"11\"><rect x=\"%1\" y=\"%2\" width=\"10\" height=\"10\" fill=\"#3a7bd5\"/>"
               "<text x=\"%3\" y=\"%4\">Объем +</text>"
               "<rect x=\"%5\" y=\"%2\" width=\"10\" height=\"10\" fill=\"#d5713a\"/>"
               "<text x=\"%6\" y=\"%4\">Объем −</text>"
               "<rect x=\"%7\" y=\"%2\" width=\"10\" height=\"10\" fill=\"url(#hatch)\" stroke=\"#999\"/>"
               "<text x=\"%8\" y=\"%4\">не записан прибором</text>"
               "<rect x=\"%9\" y=\"%2\" width=\"10\" height=\"10\" fill=\"none\" stroke=\"#bbb\" "
               "stroke-dasharray=\"3,3\"/><text x=\"%10\" y=\"%4\">нет данных</text></g>")
               .arg(num(Left), num(Height - 16), num(Left + 14), num(Height - 7), num(Left + 100),
                    num(Left + 114), num(Left + 200), num(Left + 214))
               .arg(num(Left + 370), num(Left + 384));
    return svg + QStringLiteral("</svg></figure>");
}

} // namespace web::html
