// The cash report as one HTML page (tables of the period, its days, reconciliations and
// problems) and its two charts as SVG, inline in the page so that the file stands alone
// when it is mailed or archived.
#include "tools/dispenserctl/report_formats.h"

#include "framework/text_format.h"
#include "framework/utf.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace CashReport {

namespace {

// ----------------------------------------------------------------------------------------
// Text

// Text placed in HTML or SVG: markup characters escaped, ill-formed UTF-8 repaired to
// U+FFFD and control characters dropped, so that no journal line can break the page.
std::string Escape(std::string_view text)
{
    const std::string clean = Utf16ToUtf8(Utf8ToUtf16(text));
    std::string escaped;
    escaped.reserve(clean.size());
    for (const char c : clean) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        case '\'': escaped += "&#39;"; break;
        default:
            if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n')
                escaped += c;
        }
    }
    return escaped;
}

// A number with a fixed count of decimals, whatever the process's locale says.
std::string Decimal(double value, int decimals)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return std::string(buffer, result.ptr);
}

std::string Whole(std::uint64_t value)
{
    return std::to_string(value);
}

template <class T>
std::string WholeOrEmpty(const std::optional<T>& value)
{
    return value ? std::to_string(*value) : std::string();
}

std::string HoursMinutes(long long seconds)
{
    const long long minutes = std::max(seconds, 0LL) / 60;
    return FormatText("%lld:%02lld", minutes / 60, minutes % 60);
}

int Cassettes(const Report& report)
{
    return report.options.cassettes == 1 ? 1 : 2;
}

std::string CassetteName(std::size_t c)
{
    return "Cassette #" + std::to_string(c + 1);
}

std::string UnitName(Journal::Unit unit)
{
    switch (unit) {
    case Journal::Unit::Cassette1: return "cassette #1";
    case Journal::Unit::Cassette2: return "cassette #2";
    case Journal::Unit::RejectBin: return "reject bin";
    case Journal::Unit::None: break;
    }
    return "";
}

std::string Period(const Report& report)
{
    return report.options.from.Text() + " to " + report.options.to.Text();
}

// ----------------------------------------------------------------------------------------
// Charts

constexpr double kWidth = 760;
constexpr double kHeight = 340;
constexpr double kLeft = 64;   // room for the y axis's values
constexpr double kRight = 24;
constexpr double kTop = 58;    // the title and the legend
constexpr double kBottom = 40; // the days
constexpr double kPlotWidth = kWidth - kLeft - kRight;
constexpr double kPlotHeight = kHeight - kTop - kBottom;
// The forecast is drawn past the period as far as the period is long, at least a month and
// at most two, so that the period itself keeps a fair share of the chart.
constexpr double kShortestHorizon = 30;
constexpr double kLongestHorizon = 60;

constexpr std::array<const char*, 2> kCassetteColour{"#1f6fb4", "#e0601a"};
constexpr const char* kGridColour = "#dddddd";
constexpr const char* kAxisColour = "#444444";
constexpr const char* kReserveDash = "8,4";
constexpr const char* kForecastDash = "3,3";

std::string Coordinate(double value)
{
    return Decimal(value, 1);
}

// The y axis: values 0..top in steps of 1, 2 or 5 times a power of ten, about five steps;
// never a top of 0, so a period without a note still has an axis to draw on.
struct Scale {
    std::uint64_t step = 1;
    std::uint64_t top = 1;
};

Scale NiceScale(std::uint64_t largest)
{
    static constexpr std::uint64_t kMantissas[] = {1, 2, 5};
    std::uint64_t magnitude = 1;
    std::size_t mantissa = 0;
    Scale scale;
    while (scale.step < largest / 5 + (largest % 5 != 0 ? 1 : 0)) {
        if (++mantissa == std::size(kMantissas)) {
            mantissa = 0;
            magnitude *= 10;
        }
        scale.step = kMantissas[mantissa] * magnitude;
    }
    scale.top = std::max<std::uint64_t>(1, largest / scale.step + (largest % scale.step != 0 ? 1 : 0)) * scale.step;
    return scale;
}

// The plot area: `slots` days side by side on the x axis, values 0..scale.top upwards.
struct Frame {
    long long slots = 1;
    Scale scale;

    double SlotWidth() const { return kPlotWidth / static_cast<double>(std::max(slots, 1LL)); }
    double X(double slot) const { return kLeft + slot * SlotWidth(); }
    double Centre(long long slot) const { return X(static_cast<double>(slot) + 0.5); }
    double Y(double value) const { return kTop + kPlotHeight - value / static_cast<double>(scale.top) * kPlotHeight; }
    double Bottom() const { return kTop + kPlotHeight; }
};

struct LegendEntry {
    std::string colour;
    std::string label;
    enum class Mark { Box, Line } mark = Mark::Box;
    std::string dash; // for a line; empty: solid
};

std::string SvgStart(const std::string& title)
{
    std::string svg = FormatText(
        "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\" "
        "font-family=\"sans-serif\" font-size=\"11\">\n",
        static_cast<int>(kWidth), static_cast<int>(kHeight), static_cast<int>(kWidth), static_cast<int>(kHeight));
    svg += "<title>" + Escape(title) + "</title>\n";
    svg += "<rect x=\"0\" y=\"0\" width=\"" + Coordinate(kWidth) + "\" height=\"" + Coordinate(kHeight) +
           "\" fill=\"#ffffff\"/>\n";
    svg += "<text x=\"" + Coordinate(kLeft) + "\" y=\"20\" font-size=\"14\" font-weight=\"bold\" fill=\"#222222\">" +
           Escape(title) + "</text>\n";
    return svg;
}

std::string Legend(const std::vector<LegendEntry>& entries)
{
    std::string svg = "<g font-size=\"12\" fill=\"#222222\">\n";
    double x = kLeft;
    const double y = 40;
    for (const LegendEntry& entry : entries) {
        if (entry.mark == LegendEntry::Mark::Box) {
            svg += "<rect x=\"" + Coordinate(x) + "\" y=\"" + Coordinate(y - 9) +
                   "\" width=\"12\" height=\"10\" fill=\"" + entry.colour + "\"/>\n";
        } else {
            svg += "<line x1=\"" + Coordinate(x) + "\" y1=\"" + Coordinate(y - 4) + "\" x2=\"" + Coordinate(x + 20) +
                   "\" y2=\"" + Coordinate(y - 4) + "\" stroke=\"" + entry.colour + "\" stroke-width=\"2\"" +
                   (entry.dash.empty() ? std::string() : " stroke-dasharray=\"" + entry.dash + "\"") + "/>\n";
        }
        const double mark = entry.mark == LegendEntry::Mark::Box ? 16 : 24;
        svg += "<text x=\"" + Coordinate(x + mark) + "\" y=\"" + Coordinate(y) + "\">" + Escape(entry.label) +
               "</text>\n";
        // The labels are short ASCII texts: about 7 px a character at this size.
        x += mark + 7.0 * static_cast<double>(entry.label.size()) + 18;
    }
    return svg + "</g>\n";
}

// Horizontal grid lines with their values, and the axis name above them.
std::string YAxis(const Frame& frame, const std::string& name)
{
    std::string svg = "<g>\n";
    for (std::uint64_t value = 0; value <= frame.scale.top; value += frame.scale.step) {
        const std::string y = Coordinate(frame.Y(static_cast<double>(value)));
        svg += "<line x1=\"" + Coordinate(kLeft) + "\" y1=\"" + y + "\" x2=\"" + Coordinate(kWidth - kRight) +
               "\" y2=\"" + y + "\" stroke=\"" + (value == 0 ? kAxisColour : kGridColour) + "\" stroke-width=\"1\"/>\n";
        svg += "<text x=\"" + Coordinate(kLeft - 6) + "\" y=\"" + Coordinate(frame.Y(static_cast<double>(value)) + 4) +
               "\" text-anchor=\"end\" fill=\"" + kAxisColour + "\">" + Whole(value) + "</text>\n";
    }
    svg += "<line x1=\"" + Coordinate(kLeft) + "\" y1=\"" + Coordinate(kTop) + "\" x2=\"" + Coordinate(kLeft) +
           "\" y2=\"" + Coordinate(frame.Bottom()) + "\" stroke=\"" + kAxisColour + "\" stroke-width=\"1\"/>\n";
    svg += "<text x=\"" + Coordinate(kLeft - 6) + "\" y=\"" + Coordinate(kTop - 6) + "\" text-anchor=\"end\" fill=\"" +
           kAxisColour + "\">" + Escape(name) + "</text>\n";
    return svg + "</g>\n";
}

// Every day's slot labelled "MM-DD" while they fit; for longer spans every 2nd, 3rd,
// 7th, 14th, 28th, ... day, counted from the first.
std::string XAxis(const Frame& frame, const Journal::Day& first)
{
    constexpr double kLabelWidth = 44;
    const long long fitting = std::max(1LL, static_cast<long long>(kPlotWidth / kLabelWidth));
    long long every = 1;
    for (const long long step : {1LL, 2LL, 3LL, 7LL, 14LL}) {
        every = step;
        if (frame.slots <= fitting * step)
            break;
    }
    while (frame.slots > fitting * every)
        every *= 2;

    std::string svg = "<g fill=\"" + std::string(kAxisColour) + "\" text-anchor=\"middle\">\n";
    for (long long slot = 0; slot < frame.slots; slot += every) {
        const std::string x = Coordinate(frame.Centre(slot));
        svg += "<line x1=\"" + x + "\" y1=\"" + Coordinate(frame.Bottom()) + "\" x2=\"" + x + "\" y2=\"" +
               Coordinate(frame.Bottom() + 4) + "\" stroke=\"" + kAxisColour + "\" stroke-width=\"1\"/>\n";
        const std::string date = Journal::Day::FromSerial(first.Serial() + slot).Text();
        svg += "<text x=\"" + x + "\" y=\"" + Coordinate(frame.Bottom() + 16) + "\">" + Escape(date.substr(5)) +
               "</text>\n";
    }
    return svg + "</g>\n";
}

// A note across the middle of an empty plot.
std::string PlotNote(const std::string& text)
{
    return "<text x=\"" + Coordinate(kLeft + kPlotWidth / 2) + "\" y=\"" + Coordinate(kTop + kPlotHeight / 2) +
           "\" text-anchor=\"middle\" font-size=\"13\" fill=\"" + kAxisColour + "\">" + Escape(text) + "</text>\n";
}

// Days without a journal file, shaded behind the data.
std::string NoFileBands(const Frame& frame, const Report& report)
{
    std::string svg;
    for (std::size_t i = 0; i < report.days.size(); ++i) {
        if (report.days[i].hasFile)
            continue;
        svg += "<rect x=\"" + Coordinate(frame.X(static_cast<double>(i))) + "\" y=\"" + Coordinate(kTop) +
               "\" width=\"" + Coordinate(frame.SlotWidth()) + "\" height=\"" + Coordinate(kPlotHeight) +
               "\" fill=\"#eeeeee\"><title>" + report.days[i].day.Text() + ": no journal file</title></rect>\n";
    }
    return svg;
}

bool AnyDayWithoutFile(const Report& report)
{
    return std::any_of(report.days.begin(), report.days.end(), [](const ReportDay& day) { return !day.hasFile; });
}

// Where a cassette's forecast line goes past the period: from the count at the end down
// at the recent rate, to the day it empties or to the horizon, whichever comes first.
struct Projection {
    double start = 0; // notes at the end of the period
    double days = 0;  // days past the period's end the line runs
    double end = 0;   // notes where it stops
};

std::optional<Projection> ProjectionOf(const Report& report, std::size_t c)
{
    const Forecast& forecast = report.forecast[c];
    if (report.days.empty() || !forecast.count || !(forecast.notesPerDay > 0))
        return std::nullopt;
    const double start = *forecast.count;
    // Down to the reserve, where payouts from the cassette stop, or else to empty.
    const double floor = std::min(static_cast<double>(forecast.reserve), start);
    const double toEnd = (start - floor) / forecast.notesPerDay;
    if (!(toEnd > 0))
        return std::nullopt;
    const double horizon =
        std::clamp(static_cast<double>(report.days.size()), kShortestHorizon, kLongestHorizon);
    const double days = std::min(toEnd, horizon);
    return Projection{start, days, start - days * forecast.notesPerDay};
}

// ----------------------------------------------------------------------------------------
// The page

// A table built row by row; cells are escaped here, numbers are right-aligned.
class HtmlTable {
public:
    explicit HtmlTable(std::string& html) : html_(html) { html_ += "<table>\n"; }
    ~HtmlTable()
    {
        EndRow();
        html_ += "</table>\n";
    }
    HtmlTable(const HtmlTable&) = delete;
    HtmlTable& operator=(const HtmlTable&) = delete;

    void Head(const std::vector<std::string>& names)
    {
        html_ += "<tr>";
        for (const std::string& name : names)
            html_ += "<th>" + Escape(name) + "</th>";
        html_ += "</tr>\n";
    }
    void Row(const std::string& rowClass = "")
    {
        EndRow();
        html_ += rowClass.empty() ? "<tr>" : "<tr class=\"" + rowClass + "\">";
        open_ = true;
    }
    void Text(const std::string& text) { html_ += "<td>" + Escape(text) + "</td>"; }
    void Number(const std::string& text) { html_ += "<td class=\"n\">" + Escape(text) + "</td>"; }
    // A cell of ready markup.
    void Markup(const std::string& markup) { html_ += "<td>" + markup + "</td>"; }

private:
    void EndRow()
    {
        if (open_)
            html_ += "</tr>\n";
        open_ = false;
    }

    std::string& html_;
    bool open_ = false;
};

constexpr const char* kStyle = R"(body { font-family: sans-serif; margin: 1.5em; color: #222; }
h1 { font-size: 1.5em; }
h2 { font-size: 1.2em; margin-top: 1.8em; }
table { border-collapse: collapse; margin: 0.5em 0 1em; }
th, td { border: 1px solid #bbb; padding: 2px 8px; }
th { background: #f0f0f0; text-align: left; }
td.n { text-align: right; font-variant-numeric: tabular-nums; }
tr.nofile td { color: #888; background: #f6f6f6; }
.mark { color: #a00; font-size: 0.85em; }
.note { color: #555; font-size: 0.9em; }
svg { max-width: 100%; height: auto; display: block; margin: 0.5em 0 1.5em; }
)";

std::string Denominations(const Report& report)
{
    std::string text;
    for (std::size_t c = 0; c < static_cast<std::size_t>(Cassettes(report)); ++c) {
        text += (c == 0 ? "" : "; ") + CassetteName(c) + ": ";
        const std::uint32_t denomination = report.options.denomination[c];
        text += denomination == 0 ? "unknown (left out of the amounts)" : std::to_string(denomination);
        if (report.options.denominationOverridden[c])
            text += " (given on the command line)";
    }
    return text;
}

void Summary(std::string& html, const Report& report)
{
    const DayTotals& totals = report.totals;
    const std::size_t cassettes = static_cast<std::size_t>(Cassettes(report));
    const auto records = [](std::uint64_t notes, unsigned count) {
        return Whole(notes) + (count == 0 ? "" : FormatText(" (%u record%s)", count, count == 1 ? "" : "s"));
    };
    const long long withFile = std::count_if(report.days.begin(), report.days.end(),
                                             [](const ReportDay& day) { return day.hasFile; });

    html += "<h2>Period</h2>\n";
    {
        HtmlTable table(html);
        for (std::size_t c = 0; c < cassettes; ++c) {
            table.Row();
            table.Text("Notes paid, " + CassetteName(c));
            table.Number(Whole(totals.paid[c]));
        }
        const auto line = [&](const std::string& name, const std::string& value) {
            table.Row();
            table.Text(name);
            table.Number(value);
        };
        line("Amount paid", Whole(report.Amount(totals)));
        line("Notes rejected", Whole(totals.rejected));
        line("Notes not paid, payouts stopped early", records(totals.aborted, totals.abortRecords));
        line("Notes not paid, errors", records(totals.failed, totals.failureRecords));
        line("Notes in doubt", records(totals.unknown, totals.unknownRecords));
        line("Notes found by reconciliation", std::to_string(totals.reconciled));
        line("Days with a journal file", FormatText("%lld of %zu", withFile, report.days.size()));
        if (totals.debugRecords > 0)
            line("Debug-mode records (left out of the totals)", Whole(totals.debugRecords));
        }

    html += "<h3>Device errors</h3>\n";
    if (report.errors.empty()) {
        html += "<p>None.</p>\n";
        return;
    }
    HtmlTable table(html);
    table.Head({"Code", "Text", "Times"});
    for (const DeviceError& error : report.errors) {
        table.Row();
        table.Number(FormatText("%u (%02Xh)", error.code, error.code));
        table.Text(error.text);
        table.Number(Whole(error.times));
    }
}

void ForecastTable(std::string& html, const Report& report)
{
    html += "<h2>Forecast</h2>\n";
    HtmlTable table(html);
    table.Head({"Cassette", "Notes at the end", "Reserve", "Rate", "Reaches its reserve", "Empties"});
    for (std::size_t c = 0; c < static_cast<std::size_t>(Cassettes(report)); ++c) {
        const Forecast& forecast = report.forecast[c];
        const auto when = [&](const std::optional<Journal::Day>& day) {
            if (day)
                return day->Text();
            return std::string(forecast.count ? "not expected" : "unknown");
        };
        table.Row();
        table.Text(CassetteName(c));
        table.Number(forecast.count ? std::to_string(*forecast.count) : "unknown");
        table.Number(Whole(forecast.reserve));
        table.Text(forecast.rateDays > 0 ? Decimal(forecast.notesPerDay, 1) + " notes/day over " +
                                               FormatText("%d day%s", forecast.rateDays, forecast.rateDays == 1 ? "" : "s")
                                         : "unknown");
        table.Text(when(forecast.reserveDay));
        table.Text(when(forecast.emptyDay));
    }
}

void DayTable(std::string& html, const Report& report)
{
    const bool second = Cassettes(report) == 2;
    html += "<h2>Days</h2>\n";
    html += "<p class=\"note\">Counts are the notes expected at the end of the day; an empty cell: not known.</p>\n";
    HtmlTable table(html);
    std::vector<std::string> head{"Date", "Paid #1"};
    if (second)
        head.push_back("Paid #2");
    for (const char* name : {"Amount", "Rejected", "Aborted", "Failed", "In doubt", "Reconciled", "Count #1"})
        head.emplace_back(name);
    if (second)
        head.push_back("Count #2");
    head.insert(head.end(), {"Reject bin", "Running"});
    table.Head(head);

    for (const ReportDay& day : report.days) {
        const DayTotals& totals = day.totals;
        // A day without a file has nothing to show but the counts carried into it.
        const auto activity = [&](const std::string& value) { table.Number(day.hasFile ? value : ""); };
        table.Row(day.hasFile ? "" : "nofile");
        const char* noFile = " <span class=\"mark\" title=\"no journal file for this day\">(no file)</span>";
        table.Markup(Escape(day.day.Text()) + (day.hasFile ? "" : noFile));
        activity(Whole(totals.paid[0]));
        if (second)
            activity(Whole(totals.paid[1]));
        activity(Whole(report.Amount(totals)));
        activity(Whole(totals.rejected));
        activity(Whole(totals.aborted));
        activity(Whole(totals.failed));
        activity(Whole(totals.unknown));
        activity(std::to_string(totals.reconciled));
        table.Number(WholeOrEmpty(day.count[0]));
        if (second)
            table.Number(WholeOrEmpty(day.count[1]));
        table.Number(WholeOrEmpty(day.rejectBin));
        activity(HoursMinutes(day.runSeconds));
    }
}

void Reconciliations(std::string& html, const Report& report)
{
    html += "<h2>Reconciliations</h2>\n";
    const bool any = std::any_of(report.days.begin(), report.days.end(),
                                 [](const ReportDay& day) { return !day.reconciliations.empty(); });
    if (!any) {
        html += "<p>None.</p>\n";
        return;
    }
    html += "<p class=\"note\">Found: the notes the count shows to have left a cassette during the passes in doubt "
            "(negative: more notes than expected); for the reject bin, the notes it holds beyond the low end of "
            "the range.</p>\n";
    HtmlTable table(html);
    table.Head({"Date", "Time", "Counted in", "Counted", "Expected", "Found"});
    for (const ReportDay& day : report.days) {
        for (const Reconciliation& count : day.reconciliations) {
            std::string expected;
            if (count.expectedLow && count.expectedHigh)
                expected = *count.expectedLow == *count.expectedHigh
                               ? std::to_string(*count.expectedLow)
                               : std::to_string(*count.expectedLow) + "–" + std::to_string(*count.expectedHigh);
            const bool outside = count.expectedLow && count.expectedHigh &&
                                 (count.counted < *count.expectedLow || count.counted > *count.expectedHigh);
            table.Row();
            table.Text(day.day.Text());
            table.Text(count.time);
            table.Text(UnitName(count.unit));
            table.Number(std::to_string(count.counted));
            table.Markup(Escape(expected) + (outside ? " <span class=\"mark\">(count outside)</span>" : ""));
            table.Number(WholeOrEmpty(count.found));
        }
    }
}

void Problems(std::string& html, const Report& report)
{
    if (report.problems.empty())
        return;
    html += "<h2>Journal lines skipped</h2>\n<ul>\n";
    for (const Journal::Problem& problem : report.problems)
        html += "<li>" + Escape(problem.file) + ":" + std::to_string(problem.line) + ": " + Escape(problem.reason) +
                "</li>\n";
    html += "</ul>\n";
}

} // namespace

std::string PaidChartSvg(const Report& report)
{
    const std::size_t cassettes = static_cast<std::size_t>(Cassettes(report));
    std::uint64_t largest = 0;
    for (const ReportDay& day : report.days) {
        for (std::size_t c = 0; c < cassettes; ++c)
            largest = std::max(largest, day.totals.paid[c]);
    }
    const Frame frame{std::max(1LL, static_cast<long long>(report.days.size())), NiceScale(largest)};

    std::string svg = SvgStart("Notes paid per day, " + Period(report));
    std::vector<LegendEntry> legend;
    for (std::size_t c = 0; c < cassettes; ++c)
        legend.push_back({kCassetteColour[c], CassetteName(c), LegendEntry::Mark::Box, ""});
    if (AnyDayWithoutFile(report))
        legend.push_back({"#eeeeee", "no journal file", LegendEntry::Mark::Box, ""});
    svg += Legend(legend);
    svg += NoFileBands(frame, report);
    svg += YAxis(frame, "notes");

    // The cassettes' bars side by side in the middle 80 % of each day's slot.
    const double barWidth = frame.SlotWidth() * 0.8 / static_cast<double>(cassettes);
    for (std::size_t i = 0; i < report.days.size(); ++i) {
        const ReportDay& day = report.days[i];
        for (std::size_t c = 0; c < cassettes; ++c) {
            const std::uint64_t paid = day.totals.paid[c];
            if (paid == 0)
                continue;
            const double x = frame.X(static_cast<double>(i) + 0.1) + barWidth * static_cast<double>(c);
            const double y = frame.Y(static_cast<double>(paid));
            svg += "<rect x=\"" + Coordinate(x) + "\" y=\"" + Coordinate(y) + "\" width=\"" + Coordinate(barWidth) +
                   "\" height=\"" + Coordinate(frame.Bottom() - y) + "\" fill=\"" + kCassetteColour[c] + "\"><title>" +
                   day.day.Text() + ", " + CassetteName(c) + ": " + Whole(paid) + "</title></rect>\n";
        }
    }
    if (report.days.empty())
        return svg + PlotNote("No days in the period") + "</svg>\n";
    return svg + XAxis(frame, report.days.front().day) + "</svg>\n";
}

std::string ContentChartSvg(const Report& report)
{
    const std::size_t cassettes = static_cast<std::size_t>(Cassettes(report));
    std::array<std::optional<Projection>, 2> projections;
    double pastEnd = 0;
    std::uint64_t largest = 0;
    bool anyCount = false;
    for (std::size_t c = 0; c < cassettes; ++c) {
        projections[c] = ProjectionOf(report, c);
        if (projections[c]) {
            pastEnd = std::max(pastEnd, projections[c]->days);
            largest = std::max<std::uint64_t>(largest, *report.forecast[c].count);
        }
        largest = std::max<std::uint64_t>(largest, report.forecast[c].reserve);
        for (const ReportDay& day : report.days) {
            largest = std::max<std::uint64_t>(largest, day.count[c].value_or(0));
            anyCount = anyCount || day.count[c].has_value();
        }
    }
    const long long days = static_cast<long long>(report.days.size());
    const long long extra = static_cast<long long>(std::ceil(pastEnd));
    const Frame frame{std::max(1LL, days + extra), NiceScale(largest)};

    std::string svg = SvgStart("Notes in the cassettes at the end of each day, " + Period(report));
    std::vector<LegendEntry> legend;
    bool anyReserve = false;
    for (std::size_t c = 0; c < cassettes; ++c) {
        legend.push_back({kCassetteColour[c], CassetteName(c), LegendEntry::Mark::Line, ""});
        anyReserve = anyReserve || report.forecast[c].reserve > 0;
    }
    if (anyReserve)
        legend.push_back({"#666666", "reserve", LegendEntry::Mark::Line, kReserveDash});
    if (extra > 0)
        legend.push_back({"#666666", "forecast", LegendEntry::Mark::Line, kForecastDash});
    if (AnyDayWithoutFile(report))
        legend.push_back({"#eeeeee", "no journal file", LegendEntry::Mark::Box, ""});
    svg += Legend(legend);
    svg += NoFileBands(frame, report);
    svg += YAxis(frame, "notes");

    if (extra > 0) {
        const std::string x = Coordinate(frame.X(static_cast<double>(days)));
        svg += "<line x1=\"" + x + "\" y1=\"" + Coordinate(kTop) + "\" x2=\"" + x + "\" y2=\"" +
               Coordinate(frame.Bottom()) + "\" stroke=\"#999999\" stroke-width=\"1\" stroke-dasharray=\"2,2\"/>\n";
        svg += "<text x=\"" + Coordinate(frame.X(static_cast<double>(days)) + 4) + "\" y=\"" + Coordinate(kTop + 12) +
               "\" fill=\"#666666\">after the period</text>\n";
    }

    for (std::size_t c = 0; c < cassettes; ++c) {
        const std::string colour = kCassetteColour[c];
        const std::uint32_t reserve = report.forecast[c].reserve;
        if (reserve > 0) {
            const std::string y = Coordinate(frame.Y(reserve));
            svg += "<line x1=\"" + Coordinate(kLeft) + "\" y1=\"" + y + "\" x2=\"" + Coordinate(kWidth - kRight) +
                   "\" y2=\"" + y + "\" stroke=\"" + colour + "\" stroke-width=\"1.5\" stroke-dasharray=\"" +
                   kReserveDash + "\" opacity=\"0.7\"><title>" + CassetteName(c) + " reserve: " + Whole(reserve) +
                   "</title></line>\n";
        }

        // Runs of days with a known count; a day without one breaks the line, and a lone
        // known day is a dot, as a line needs two.
        std::vector<std::pair<double, double>> run;
        const auto endRun = [&]() {
            if (run.size() == 1) {
                svg += "<rect x=\"" + Coordinate(run[0].first - 3) + "\" y=\"" + Coordinate(run[0].second - 3) +
                       "\" width=\"6\" height=\"6\" fill=\"" + colour + "\"/>\n";
            } else if (run.size() > 1) {
                svg += "<polyline points=\"";
                for (const auto& [x, y] : run)
                    svg += Coordinate(x) + "," + Coordinate(y) + " ";
                svg.back() = '"';
                svg += " fill=\"none\" stroke=\"" + colour + "\" stroke-width=\"2\" stroke-linejoin=\"round\"/>\n";
            }
            run.clear();
        };
        for (std::size_t i = 0; i < report.days.size(); ++i) {
            if (const std::optional<std::uint32_t>& count = report.days[i].count[c])
                run.emplace_back(frame.Centre(static_cast<long long>(i)), frame.Y(*count));
            else
                endRun();
        }
        endRun();

        if (const std::optional<Projection>& projection = projections[c]) {
            const double x0 = frame.Centre(days - 1);
            svg += "<line x1=\"" + Coordinate(x0) + "\" y1=\"" + Coordinate(frame.Y(projection->start)) + "\" x2=\"" +
                   Coordinate(x0 + projection->days * frame.SlotWidth()) + "\" y2=\"" +
                   Coordinate(frame.Y(projection->end)) + "\" stroke=\"" + colour +
                   "\" stroke-width=\"2\" stroke-dasharray=\"" + kForecastDash + "\"/>\n";
        }
    }

    if (report.days.empty())
        return svg + PlotNote("No days in the period") + "</svg>\n";
    if (!anyCount)
        svg += PlotNote("The journal gives no count in the period");
    return svg + XAxis(frame, report.days.front().day) + "</svg>\n";
}

std::string RenderHtml(const Report& report)
{
    const std::string title = "Cash report, " + Period(report);
    std::string html = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
    html += "<title>" + Escape(title) + "</title>\n<style>\n" + kStyle + "</style>\n</head>\n<body>\n";
    html += "<h1>" + Escape(title) + "</h1>\n";
    html += "<p>Denominations: " + Escape(Denominations(report)) + ".</p>\n";
    Summary(html, report);
    ForecastTable(html, report);
    html += "<h2>Charts</h2>\n";
    html += PaidChartSvg(report);
    html += ContentChartSvg(report);
    DayTable(html, report);
    Reconciliations(html, report);
    Problems(html, report);
    html += "</body>\n</html>\n";
    return html;
}

} // namespace CashReport
