#pragma once
// The consumption report laid out on paper: A4 pages with the heading, the day table (its heading
// row again on every page), the totals, the days not counted, the report's date and the lines for
// signatures. The same drawing goes to a PDF file and to the system's printer.
#include "files/consumptionreport.h"

#include <QByteArray>

class QPagedPaintDevice;

namespace consumption {

// Draws the report on `device` (a QPdfWriter or a QPrinter), starting new pages as it needs; the
// number of pages drawn.
int paint(const Report& report, QPagedPaintDevice& device);

// The report as an A4 PDF document.
QByteArray pdf(const Report& report);

// The PDF's default name: "Report_ch1_2026-10.pdf" for one whole calendar month, else the days
// from and to, "Report_ch1_2026-10-06_2026-12-07.pdf".
QString pdfName(const Heading& heading);

} // namespace consumption
