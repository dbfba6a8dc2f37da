#include "files/consumptionpdf.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

namespace consumption {

namespace {

// The package depends on this family, so the Cyrillic texts look the same on every machine.
constexpr const char* Family = "DejaVu Sans";

QFont font(double points, bool bold = false, bool italic = false) {
    QFont f(QString::fromLatin1(Family));
    f.setPointSizeF(points);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

// One pass over the report: counting the pages when `painter` is null, drawing them otherwise.
class Layout {
  public:
    Layout(const Report& report, QPagedPaintDevice& device, QPainter* painter, int pages)
        : m_report(report), m_device(device), m_painter(painter), m_pages(pages), m_width(device.width()),
          m_bottom(device.height() - lineHeight(font(8)) * 1.5) {}

    int run() {
        startPage();
        text(QStringLiteral("Отчёт о потреблении"), font(15, true), Qt::AlignHCenter, 1.6);
        for (const QString& line : headingLines(m_report))
            text(line, font(10));
        m_y += lineHeight(font(10));
        if (!m_report.hasData()) {
            text(QStringLiteral("Нет данных за период: прибор не записал ни одних суток из отчёта, или они "
                                "ещё не прочитаны."),
                 font(11, true));
        } else {
            tableHeading();
            for (const Day& day : m_report.days) {
                if (m_y + rowHeight() > m_bottom) {
                    newPage();
                    tableHeading();
                }
                row(cells(day), day.state == Day::State::Recorded ? font(9) : font(9, false, true),
                    day.state != Day::State::Recorded);
            }
            if (m_y + rowHeight() > m_bottom) newPage();
            row(totalCells(m_report), font(9, true), false);
        }
        const QStringList notes = footnoteLines(m_report);
        // The closing block stays together on one page.
        const double closing = lineHeight(font(10)) * (notes.size() + 7);
        if (m_y + closing > m_bottom) newPage();
        m_y += lineHeight(font(10)) * 0.5;
        for (const QString& note : notes)
            text(note, font(10));
        m_y += lineHeight(font(10));
        text(QStringLiteral("Дата отчёта: ") + m_report.heading.made.toString(QStringLiteral("dd.MM.yyyy")),
             font(10));
        m_y += lineHeight(font(10)) * 1.5;
        for (const QString& line : signatureLines()) {
            text(line, font(10));
            m_y += lineHeight(font(10));
        }
        return m_page;
    }

  private:
    double lineHeight(const QFont& f) const { return QFontMetricsF(f, &m_device).lineSpacing(); }
    double rowHeight() const { return lineHeight(font(9)) * 1.45; }

    void startPage() {
        ++m_page;
        m_y = 0;
        if (!m_painter) return;
        m_painter->setFont(font(8));
        const QString number = QStringLiteral("Электронный номер прибора %1, канал %2. Страница %3 из %4")
                                   .arg(m_report.heading.electronicNumber)
                                   .arg(m_report.heading.channel)
                                   .arg(m_page)
                                   .arg(m_pages);
        m_painter->drawText(QRectF(0, m_bottom, m_width, m_device.height() - m_bottom),
                            Qt::AlignRight | Qt::AlignBottom, number);
    }
    void newPage() {
        if (m_painter) m_device.newPage();
        startPage();
    }

    void text(const QString& line, const QFont& f, Qt::Alignment align = Qt::AlignLeft,
              double spacing = 1.0) {
        const QRectF box(0, m_y, m_width, m_device.height() - m_y);
        const QRectF used =
            QFontMetricsF(f, &m_device).boundingRect(box, int(align) | Qt::TextWordWrap, line);
        if (m_painter) {
            m_painter->setFont(f);
            m_painter->drawText(box, int(align) | Qt::TextWordWrap, line);
        }
        m_y += std::max(used.height(), lineHeight(f)) * spacing;
    }

    static constexpr double Columns[] = {0.2, 0.2, 0.2, 0.2, 0.2};

    void tableHeading() { row(columnTitles(), font(9, true), false, true); }

    // `spans`: the second cell covers the four value columns (a day without values).
    void row(const QStringList& texts, const QFont& f, bool spans, bool heading = false) {
        const double h = rowHeight();
        if (m_painter) {
            m_painter->setFont(f);
            m_painter->setPen(QPen(Qt::black, m_device.logicalDpiX() / 150.0));
            if (heading) m_painter->fillRect(QRectF(0, m_y, m_width, h), QColor(0xE8, 0xE8, 0xE8));
            double x = 0;
            const double pad = m_width * 0.01;
            for (int c = 0; c < int(std::size(Columns)); ++c) {
                double w = Columns[c] * m_width;
                if (spans && c == 1) w = (1.0 - Columns[0]) * m_width;
                const QRectF cell(x, m_y, w, h);
                m_painter->drawRect(cell);
                const Qt::Alignment align =
                    heading || spans || c == 0 ? Qt::AlignCenter : Qt::AlignRight | Qt::AlignVCenter;
                m_painter->drawText(cell.adjusted(pad, 0, -pad, 0), int(align), texts.value(c));
                x += w;
                if (spans && c == 1) break;
            }
        }
        m_y += h;
    }

    const Report& m_report;
    QPagedPaintDevice& m_device;
    QPainter* m_painter;
    int m_pages;
    double m_width, m_bottom;
    double m_y = 0;
    int m_page = 0;
};

} // namespace

int paint(const Report& report, QPagedPaintDevice& device) {
    const int pages = Layout(report, device, nullptr, 0).run();
    QPainter painter(&device);
    return Layout(report, device, &painter, pages).run();
}

QByteArray pdf(const Report& report) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(20, 15, 15, 15), QPageLayout::Millimeter));
        writer.setResolution(300);
        writer.setTitle(
            QStringLiteral("Отчёт о потреблении, прибор %1").arg(report.heading.electronicNumber));
        writer.setCreator(QStringLiteral("kastari-monitor"));
        paint(report, writer);
    }
    return bytes;
}

QString pdfName(const Heading& heading) {
    const QString prefix = QStringLiteral("Report_ch%1_").arg(heading.channel);
    const QDate& from = heading.from;
    const bool wholeMonth = from.isValid() && from.day() == 1 && heading.to == from.addMonths(1).addDays(-1);
    if (wholeMonth) return prefix + from.toString(QStringLiteral("yyyy-MM")) + QStringLiteral(".pdf");
    const QString day = QStringLiteral("yyyy-MM-dd");
    return prefix + from.toString(day) + u'_' + heading.to.toString(day) + QStringLiteral(".pdf");
}

} // namespace consumption
