// The cash report written out: plain text for the terminal, CSV for a spreadsheet (one row a
// day), and one self-contained HTML file with the tables and two inline SVG charts.
#pragma once

#include "tools/dispenserctl/cash_report.h"

#include <string>

namespace CashReport {

std::string RenderText(const Report& report);

// Header "date,paid1,paid2,amount,rejected,aborted,failed,unknown,reconciled,count1,count2,
// reject_bin" (more columns may follow), then one row a day; counts empty when unknown.
std::string RenderCsv(const Report& report);

// A whole HTML document (UTF-8), no external scripts, styles or fonts.
std::string RenderHtml(const Report& report);

// The charts, each a whole <svg> element (usable as a file of its own):
// notes paid per day per cassette (bars), and each cassette's expected content over time
// with its reserve line and the forecast up to the day it empties.
std::string PaidChartSvg(const Report& report);
std::string ContentChartSvg(const Report& report);

} // namespace CashReport
