// The cash report's HTML page and its two SVG charts: a page that stands alone with every
// day and journal text shown safely, and charts a real SVG renderer draws (rsvg-convert,
// natively; the pictures are kept as artifacts).
#include "tools/dispenserctl/report_formats.h"

#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <vector>

namespace {

// rsvg-convert is a Linux program: the Windows build of the test cannot run it.
constexpr bool kRendererHere = REPORT_CHARTS_RENDERER != 0;

using CashReport::Report;
using CashReport::ReportDay;
using Journal::Day;

// A period of a two-cassette (or one-cassette) dispenser with what a real one holds: a
// day without a journal file (the 4th), a pass in doubt that leaves a count unknown (the
// 6th) and the technician's count that settles it (the 7th), device errors whose Russian
// text carries markup characters, a skipped journal line, and the cassettes refilled
// every three weeks.
Report SampleReport(int length, int cassettes)
{
    Report report;
    report.options.from = Day{2026, 3, 1};
    report.options.to = Day::FromSerial(report.options.from.Serial() + length - 1);
    report.options.denomination = {1000, 500};
    report.options.denominationOverridden = {false, true};
    report.options.reserve = {20, 30};
    report.options.cassettes = cassettes;

    const std::size_t doubtful = cassettes == 2 ? 1 : 0;
    std::array<std::uint32_t, 2> count{400, cassettes == 2 ? 300u : 0u};
    Day day = report.options.from;
    for (int i = 0; i < length; ++i, day = day.Next()) {
        ReportDay& entry = report.days.emplace_back();
        entry.day = day;
        entry.hasFile = i != 3;
        if (entry.hasFile) {
            entry.totals.paid = {static_cast<std::uint64_t>(5 + (i * 7) % 23),
                                 cassettes == 2 ? static_cast<std::uint64_t>((i * 5) % 11) : 0};
            entry.totals.rejected = i % 3;
            entry.runSeconds = 9 * 3600 + i * 61;
            entry.starts = 1;
            entry.formatVersion = 4;
        }
        if (i % 21 == 20)
            count = {400, cassettes == 2 ? 300u : 0u}; // refilled
        for (std::size_t c = 0; c < 2; ++c)
            count[c] -= std::min<std::uint32_t>(count[c], static_cast<std::uint32_t>(entry.totals.paid[c]));
        entry.count = {count[0], cassettes == 2 ? std::optional<std::uint32_t>(count[1]) : std::nullopt};
        entry.rejectBin = 4 + static_cast<std::uint32_t>(i);
        if (i == 4) {
            entry.errors.push_back({50, "Ошибка подачи: купюра <застряла> & \"двойная\"", 2});
            report.errors = entry.errors;
        }
        if (i == 5) {
            entry.totals.unknown = 3;
            entry.totals.unknownRecords = 1;
            entry.count[doubtful] = std::nullopt;
        }
        if (i == 6) {
            count[doubtful] -= 2;
            entry.count[doubtful] = count[doubtful];
            entry.reconciliations.push_back({"14:05:09",
                                             doubtful == 1 ? Journal::Unit::Cassette2 : Journal::Unit::Cassette1,
                                             count[doubtful], count[doubtful], count[doubtful] + 3, 3});
            entry.totals.reconciled = 3;
        }
        for (std::size_t c = 0; c < 2; ++c)
            report.totals.paid[c] += entry.totals.paid[c];
        report.totals.rejected += entry.totals.rejected;
        report.totals.unknown += entry.totals.unknown;
        report.totals.unknownRecords += entry.totals.unknownRecords;
        report.totals.reconciled += entry.totals.reconciled;
    }
    report.problems.push_back({"2026-03-05.txt", 17, "no tab-separated code, word and value"});

    // At its rate cassette 1 empties within the chart's horizon, cassette 2 only past it.
    const auto after = [&](double days) {
        return Day::FromSerial(report.options.to.Serial() + static_cast<long long>(std::ceil(days)));
    };
    const std::array<double, 2> rate{14.5, 2.5};
    for (std::size_t c = 0; c < static_cast<std::size_t>(cassettes); ++c) {
        const double reserve = report.options.reserve[c];
        report.forecast[c] = {count[c], report.options.reserve[c], rate[c], std::min(length, 14),
                              after(std::max(0.0, count[c] - reserve) / rate[c]), after(count[c] / rate[c])};
    }
    return report;
}

// A period the journal says nothing about: no files, no counts, no forecast.
Report SilentReport(int length)
{
    Report report;
    report.options.from = Day{2026, 4, 1};
    report.options.to = Day::FromSerial(report.options.from.Serial() + length - 1);
    for (Day day = report.options.from; day <= report.options.to; day = day.Next())
        report.days.emplace_back().day = day;
    return report;
}

// The day table's row of `date`, from its first cell to the row's end.
std::string DayRow(const std::string& html, const std::string& date)
{
    const std::size_t start = html.find("<td>" + date);
    if (start == std::string::npos)
        return "";
    return html.substr(start, html.find("</tr>", start) - start);
}

std::size_t Occurrences(const std::string& text, const std::string& what)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++count;
    return count;
}

TEST(ReportHtml, PageStandsAloneAndShowsEveryDayAndProblem)
{
    const std::string html = CashReport::RenderHtml(SampleReport(10, 2));

    EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(html.find("<meta charset=\"utf-8\">"), std::string::npos);
    for (const char* external : {"<script", "src=", "href=", "url(", "@import", "<link"})
        EXPECT_EQ(html.find(external), std::string::npos) << external;
    EXPECT_EQ(Occurrences(html, "<svg "), 2u);

    for (Day day{2026, 3, 1}; day <= Day{2026, 3, 10}; day = day.Next())
        EXPECT_NE(DayRow(html, day.Text()), "") << day.Text();
    EXPECT_EQ(Occurrences(html, "(no file)"), 1u);
    EXPECT_NE(DayRow(html, "2026-03-04").find("(no file)"), std::string::npos);
    // The count in doubt is an empty cell, not a zero.
    EXPECT_NE(DayRow(html, "2026-03-06").find("<td class=\"n\"></td>"), std::string::npos);
    EXPECT_EQ(DayRow(html, "2026-03-05").find("<td class=\"n\"></td>"), std::string::npos);

    EXPECT_NE(html.find("500 (given on the command line)"), std::string::npos);
    EXPECT_EQ(Occurrences(html, "command line"), 1u);
    EXPECT_NE(html.find("2026-03-05.txt:17: no tab-separated code, word and value"), std::string::npos);
}

TEST(ReportHtml, JournalTextIsEscaped)
{
    const std::string html = CashReport::RenderHtml(SampleReport(10, 2));
    EXPECT_EQ(html.find("<застряла>"), std::string::npos);
    EXPECT_EQ(html.find("\"двойная\""), std::string::npos);
    EXPECT_NE(html.find("Ошибка подачи: купюра &lt;застряла&gt; &amp; &quot;двойная&quot;"), std::string::npos);
}

TEST(ReportHtml, OneCassetteLeavesTheSecondOut)
{
    const std::string both = CashReport::RenderHtml(SampleReport(10, 2));
    const std::string one = CashReport::RenderHtml(SampleReport(10, 1));
    for (const char* second : {"Cassette #2", "Paid #2", "Count #2"}) {
        EXPECT_NE(both.find(second), std::string::npos) << second;
        EXPECT_EQ(one.find(second), std::string::npos) << second;
    }
}

// The folder the pictures are kept in for a person to look at.
std::filesystem::path ArtifactsFolder()
{
    const char* folder = std::getenv("DISPENSER_ARTIFACTS_DIR");
    std::filesystem::path path = folder != nullptr && *folder != '\0' ? folder : REPORT_CHARTS_ARTIFACTS_DIR;
    std::filesystem::create_directories(path);
    return path;
}

std::string Quoted(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

bool OnPath(const std::string& program)
{
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

// The chart drawn to a PNG by rsvg-convert: it must accept the SVG and draw more than a
// blank page and, with `mustShow` ("#RRGGBB"), pixels of that colour (the bars of a
// cassette, not only the title and axes). The PNG is kept under `name`.
void ExpectRendered(const TempFolder& folder, const std::string& svg, const std::string& name,
                    const std::string& mustShow = {})
{
    const std::string svgFile = folder.File(name + ".svg");
    const std::string pngFile = folder.File(name + ".png");
    WriteFileBytes(svgFile, svg);
    ASSERT_EQ(std::system(("rsvg-convert -o " + Quoted(pngFile) + " " + Quoted(svgFile)).c_str()), 0) << name;
    EXPECT_GT(ReadFileBytes(pngFile).size(), 3000u) << name;
    if (OnPath("convert")) {
        const std::string colours = folder.File(name + ".colours");
        ASSERT_EQ(std::system(("convert " + Quoted(pngFile) + " -format %k info: >" + Quoted(colours)).c_str()), 0);
        EXPECT_GT(std::atoi(ReadFileBytes(colours).c_str()), 2) << name;
        if (!mustShow.empty()) {
            const std::string histogram = folder.File(name + ".histogram");
            ASSERT_EQ(std::system(("convert " + Quoted(pngFile) + " -format %c histogram:info: >" +
                                   Quoted(histogram)).c_str()),
                      0);
            std::string text = ReadFileBytes(histogram);
            std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
            EXPECT_NE(text.find(mustShow), std::string::npos) << name << ": no pixel of " << mustShow;
        }
    }
    const std::filesystem::path artifact = ArtifactsFolder() / (name + ".png");
    std::filesystem::copy_file(std::filesystem::path(pngFile), artifact,
                               std::filesystem::copy_options::overwrite_existing);
}

TEST(ReportCharts, DrawForEveryKindOfPeriod)
{
    const std::vector<std::pair<std::string, Report>> reports{
        {"cash-report-10-days", SampleReport(10, 2)},
        {"cash-report-one-cassette", SampleReport(10, 1)},
        {"cash-report-90-days", SampleReport(90, 2)},
        {"cash-report-silent-10-days", SilentReport(10)},
        {"cash-report-silent-1-day", SilentReport(1)},
    };
    const std::regex number(R"((^|[^a-z])(nan|inf)([^a-z]|$))", std::regex::icase);
    const std::regex dayLabel(R"(>\d\d-\d\d</text>)");
    std::map<std::string, std::string> charts;
    for (const auto& [name, report] : reports) {
        charts[name + "-paid"] = CashReport::PaidChartSvg(report);
        charts[name + "-content"] = CashReport::ContentChartSvg(report);
    }
    for (const auto& [name, svg] : charts) {
        EXPECT_EQ(svg.rfind("<svg xmlns=\"http://www.w3.org/2000/svg\"", 0), 0u) << name;
        EXPECT_FALSE(std::regex_search(svg, number)) << name;
    }
    // Every day labelled in a short period; a long one thinned out to labels that fit.
    const auto labels = [&](const std::string& name) {
        const std::string& svg = charts.at(name);
        return std::distance(std::sregex_iterator(svg.begin(), svg.end(), dayLabel), std::sregex_iterator());
    };
    EXPECT_EQ(labels("cash-report-10-days-paid"), 10);
    EXPECT_GE(labels("cash-report-90-days-paid"), 5);
    EXPECT_LE(labels("cash-report-90-days-paid"), 16);

    if (!kRendererHere)
        GTEST_SKIP() << "rsvg-convert runs natively only; the native run draws the charts";
    ASSERT_TRUE(OnPath("rsvg-convert")) << "rsvg-convert is missing: scripts/bootstrap.sh installs librsvg2-bin";
    const TempFolder folder;
    for (const auto& [name, svg] : charts) {
        // The bars of cassette #1 where notes were paid.
        const bool bars = name.find("-paid") != std::string::npos && name.find("silent") == std::string::npos;
        ExpectRendered(folder, svg, name, bars ? "#1f6fb4" : "");
    }
    // The whole page too, for a person to open next to the pictures.
    WriteFileBytes((ArtifactsFolder() / "cash-report-10-days.html").string(),
                   CashReport::RenderHtml(reports[0].second));
}

} // namespace
