// The cash report over journals that real payouts wrote against the simulator, over
// several days: its totals must be what the device did and what the counters say.
#include "tests/integration/cli/child_process.h"
#include "tests/integration/scenarios/scenario_fixture.h"

#include "Plugin/Dispenser/counter_records.h"
#include "framework/real_time.h"
#include "tools/dispenserctl/cash_report.h"
#include "tools/dispenserctl/report_formats.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

namespace {

using ::testing::HasSubstr;
using namespace std::chrono_literals;

// A clock set by hand in local time that moves on a little at every reading, so that an
// operation begun just before midnight ends on the next day.
class SteppingClock : public ClockSource {
public:
    void SetLocal(int year, int month, int day, int hour, int minute, int second, int millisecond = 0)
    {
        milliseconds_ =
            UTC(RealTime(CalendarTime{year, month, day, hour, minute, second, millisecond, 0})).UnixMilliseconds();
    }
    RealTime NowUTC() const override { return RealTime::FromUnixMilliseconds(milliseconds_ += 20); }

private:
    mutable std::atomic<std::int64_t> milliseconds_{0};
};

constexpr Journal::Day kDay1{2026, 3, 1};
constexpr Journal::Day kDay5{2026, 3, 5};

class CashReportTest : public ScenarioTest {
protected:
    void SetUp() override { installed_.emplace(clock_); }
    void TearDown() override
    {
        ScenarioTest::TearDown();
        installed_.reset();
    }

    DispenserLogHandler& Logs() { return *DispenserLogHandler::Instance(); }
    // The records the component writes when the kiosk starts and stops it.
    void Start() { Logs().WriteRecord(EventStart, "START", 0, "Компонент начал работу"); }
    void Stop() { Logs().WriteRecord(EventStop, "STOP", 0, "Компонент завершил работу"); }

    // Five days of a kiosk: the reject bin emptied and payouts with rejects on day 1;
    // nothing on day 2 (no file); on day 3 an empty cassette, its refill, a restart and a
    // pass in doubt that a count settles, then a payout across midnight; on day 4 a jam;
    // nothing on day 5.
    void PlayFiveDays(const std::string& model)
    {
        const bool two = model == "LCDM-2000";
        clock_.SetLocal(2026, 3, 1, 9, 0, 0);
        SetUpDevice(model, 200, two ? 200 : 0);
        SubKey("Cassette\\1")["Min Amount"] = 150;
        SubKey("Cassette\\1")["Flags"] = 0x3 | 0x8;
        Start();
        {
            // The collection crew empties the reject bin and says so: the journal's base for it.
            DispenserControl::Settings store(true);
            DispenserControl::SetRejectCount(store, 0, Logs());
        }
        EXPECT_TRUE(Dispense(3, two ? 2 : 0).result);
        device_->Fault("reject-every:3");
        EXPECT_TRUE(Dispense(6, two ? 2 : 0).result);
        device_->Fault("clear");
        clock_.SetLocal(2026, 3, 1, 18, 0, 0);
        Stop();

        clock_.SetLocal(2026, 3, 3, 8, 0, 0);
        Start();
        if (two) {
            device_->Fault("empty:2");
            Dispense(0, 2); // bill end: stopped early
            device_->Fault("set-count:2:150");
            DispenserControl::Settings store(true);
            DispenserControl::SetCassetteCount(store, 2, 150, Logs());
        }
        clock_.SetLocal(2026, 3, 3, 12, 0, 0);
        Stop();
        DispenserLogHandler::Release(); // the kiosk restarts
        clock_.SetLocal(2026, 3, 3, 12, 30, 0);
        Start();
        MainKey()["MaxDispense"] = 5;
        MainKey()["DeviceResponseTimeout"] = 500;
        device_->Fault("mute:1");
        const Payout doubtful = Dispense(7, 0);
        device_->Fault("clear");
        EXPECT_EQ(doubtful.unknown1, 5u);
        {
            DispenserControl::Settings store(true);
            DispenserControl::ReconcileCassette(store, 1, device_->Truth().cassette1, Logs());
        }
        clock_.SetLocal(2026, 3, 3, 23, 59, 59, 900);
        EXPECT_TRUE(Dispense(4, 0).result);

        clock_.SetLocal(2026, 3, 4, 10, 0, 0);
        device_->Fault("jam-after:1");
        Dispense(3, 0); // a jam, and the notes still owed in a second pass
        device_->Fault("clear");
        // A routine recount that finds two notes fewer than the counter (a discrepancy, not
        // a payout), then a test reject (its count names no cassette).
        {
            DispenserControl::Settings store(true);
            DispenserControl::ReconcileCassette(store, 1, CassetteCount(1) - 2, Logs());
        }
        unsigned rejected = 0;
        EXPECT_TRUE(DispenserScenario::TestReject(nullptr, nullptr, 1, &rejected));
        clock_.SetLocal(2026, 3, 4, 20, 0, 0);
        Stop();
        DispenserLogHandler::Release();
    }

    CashReport::Options OptionsOf(const std::string& model, Journal::Day from = kDay1, Journal::Day to = kDay5) const
    {
        CashReport::Options options;
        options.from = from;
        options.to = to;
        options.denomination = {1000, 500};
        options.reserve = {150, 0};
        options.cassettes = model == "LCDM-2000" ? 2 : 1;
        return options;
    }

    std::string JournalFolder() const { return folder_.File("journal"); }

    // What the report says must be what the device did and what the counters hold.
    void ExpectTheDevicesTruth(const CashReport::Report& report)
    {
        const SimulatorTruth truth = device_->Truth();
        EXPECT_EQ(report.totals.paid[0], truth.exit1);
        EXPECT_EQ(report.totals.paid[1], truth.exit2);
        EXPECT_EQ(report.totals.rejected, truth.rejected1 + truth.rejected2);
        EXPECT_EQ(report.Amount(report.totals), 1000ull * truth.exit1 + 500ull * truth.exit2);
        ASSERT_EQ(report.days.size(), 5u);
        const CashReport::ReportDay& last = report.days.back();
        EXPECT_EQ(last.count[0], CassetteCount(1));
        if (report.options.cassettes == 2) {
            EXPECT_EQ(last.count[1], CassetteCount(2));
        }
        EXPECT_EQ(last.rejectBin, RejectCount());
    }

    void ExpectFiveDaysAccounted(const std::string& model)
    {
        PlayFiveDays(model);
        const CashReport::Report report = CashReport::Build(JournalFolder(), OptionsOf(model));
        ExpectTheDevicesTruth(report);
        EXPECT_TRUE(report.problems.empty()) << report.problems.front().reason;

        const auto& days = report.days;
        EXPECT_TRUE(days[0].hasFile);
        EXPECT_FALSE(days[1].hasFile) << "nothing happened on day 2";
        EXPECT_EQ(days[1].totals.paid, (std::array<std::uint64_t, 2>{})) << "a day without a file pays nothing";
        EXPECT_EQ(days[1].count, days[0].count) << "the counts carry over a day without a journal";
        EXPECT_FALSE(days[4].hasFile);
        EXPECT_EQ(days[0].totals.rejected + days[3].totals.rejected, device_->Truth().rejected1 + device_->Truth().rejected2)
            << "the rejects of day 1 and the test reject of day 4";
        EXPECT_EQ(days[3].totals.discrepancy, 2) << "the routine recount";

        // The pass in doubt and the count that settled it: 5 notes asked, all of which left.
        EXPECT_EQ(days[2].totals.unknown, 5u);
        EXPECT_EQ(days[2].totals.unknownRecords, 1u);
        ASSERT_EQ(days[2].reconciliations.size(), 1u);
        const CashReport::Reconciliation& settled = days[2].reconciliations[0];
        EXPECT_EQ(settled.unit, Journal::Unit::Cassette1);
        ASSERT_TRUE(settled.found.has_value());
        EXPECT_EQ(*settled.found, 5) << "the muted pass paid all 5 notes";
        EXPECT_EQ(days[2].totals.reconciled, 5);

        // The payout begun at 23:59:59.900 of day 3 goes on into day 4 (its records in both
        // files); its notes count once.
        EXPECT_EQ(days[0].totals.paid[0], 9u);
        EXPECT_EQ(days[2].totals.paid[0] + days[3].totals.paid[0], device_->Truth().exit1 - 9u)
            << "the notes the count found, the payout at midnight, the jammed payout's notes";
        EXPECT_EQ(days[2].totals.failureRecords, 1u) << "the doubtful payout's last 2 notes";
        EXPECT_EQ(days[2].totals.failed, 2u);
        ASSERT_FALSE(days[3].errors.empty()) << "the jam is a device error";
        EXPECT_EQ(days[3].errors[0].code, 0x33u);

        // The kiosk ran 09:00-18:00 on day 1, 08:00-12:00 and 12:30-24:00 on day 3, and on
        // day 4 until its stop at 20:00 (the clock moves on a little at each reading).
        EXPECT_NEAR(days[0].runSeconds, 9 * 3600, 5);
        EXPECT_NEAR(days[2].runSeconds, 15 * 3600 + 1800, 5);
        EXPECT_NEAR(days[3].runSeconds, 20 * 3600, 5);
        EXPECT_EQ(days[4].runSeconds, 0);
        EXPECT_EQ(days[2].starts, 2u);
        if (model == "LCDM-2000") {
            EXPECT_EQ(days[2].totals.abortRecords, 1u) << "the empty lower cassette";
            EXPECT_EQ(days[2].count[1], 150u) << "refilled";
        }

        // The forecast at the period's rate: the reserve is reached later, and as payouts stop
        // there the cassette does not empty.
        const CashReport::Forecast& forecast = report.forecast[0];
        EXPECT_EQ(forecast.rateDays, 5);
        EXPECT_DOUBLE_EQ(forecast.notesPerDay, static_cast<double>(report.totals.paid[0]) / 5);
        ASSERT_TRUE(forecast.reserveDay.has_value());
        EXPECT_GT(*forecast.reserveDay, kDay5);
        EXPECT_FALSE(forecast.emptyDay.has_value());

        // A period before anything happened reports nothing and knows no count.
        const CashReport::Report empty =
            CashReport::Build(JournalFolder(), OptionsOf(model, Journal::Day{2026, 2, 1}, Journal::Day{2026, 2, 3}));
        EXPECT_EQ(empty.totals.paid, (std::array<std::uint64_t, 2>{}));
        EXPECT_FALSE(empty.days.back().count[0].has_value());
        EXPECT_FALSE(empty.forecast[0].emptyDay.has_value());

        // A period that begins later still knows the counts from the earlier files.
        const CashReport::Report later = CashReport::Build(JournalFolder(), OptionsOf(model, kDay5, kDay5));
        EXPECT_EQ(later.days[0].count[0], CassetteCount(1));
    }

    SteppingClock clock_;
    std::optional<ScopedClock> installed_;
};

TEST_F(CashReportTest, TotalsAreWhatTheDeviceDidOverDaysRestartsAndMidnightTwoCassettes)
{
    ExpectFiveDaysAccounted("LCDM-2000");
}

TEST_F(CashReportTest, TotalsAreWhatTheDeviceDidOverDaysRestartsAndMidnightOneCassette)
{
    ExpectFiveDaysAccounted("LCDM-1000");
}

TEST_F(CashReportTest, DamagedLinesAreSkippedAndNamedWithoutChangingWhatCanBeRead)
{
    PlayFiveDays("LCDM-2000");
    const std::string file = JournalFolder() + "/2026-03-01.txt";
    const CashReport::Report intact = CashReport::Build(JournalFolder(), OptionsOf("LCDM-2000"));
    {
        std::ofstream append(file, std::ios::app | std::ios::binary);
        append << "garbage without tabs\r\n"
               << "2026-03-01 19:00:00.000 INFO  4\tDISPENSED\tmany\t;выдано купюр из кассеты #1: many шт.\r\n"
               << "2026-03-01 19:00:01.000 INFO  4\tDISPEN"; // cut mid-write
    }
    const CashReport::Report damaged = CashReport::Build(JournalFolder(), OptionsOf("LCDM-2000"));
    EXPECT_EQ(damaged.totals.paid, intact.totals.paid);
    ASSERT_EQ(damaged.problems.size(), 3u);
    EXPECT_THAT(damaged.problems[0].file, HasSubstr("2026-03-01.txt"));
    EXPECT_LT(damaged.problems[0].line, damaged.problems[1].line);

    // A copy of a day's file under another day's name counts nothing twice.
    std::filesystem::copy_file(file, JournalFolder() + "/2026-03-02.txt");
    const CashReport::Report copied = CashReport::Build(JournalFolder(), OptionsOf("LCDM-2000"));
    EXPECT_EQ(copied.totals.paid, intact.totals.paid);
    EXPECT_EQ(copied.totals.rejected, intact.totals.rejected);
}

// A process killed in a pass leaves its PENDING record open; the count that settles the
// marker afterwards finds what the pass paid, up to the notes it asked. A routine recount
// with no pass open finds a discrepancy, never a payout.
TEST(CashReportJournal, APassCutOffByTheEndOfTheProcessIsPaidAsTheCountFinds)
{
    const std::string text =
        "2026-03-01 10:00:00.000 INFO  10\tCOUNT\t100\t;количество купюр в кассете #1 установлено вручную: 100 шт.\n"
        "2026-03-01 10:01:00.000 INFO  16\tPENDING\t5\t;кассета #1: отправляется команда на выдачу 5 шт.\n"
        "2026-03-01 10:05:00.000 INFO  1\tOPEN\t4\t;журнал открыт (формат сообщений: 4)\n"
        "2026-03-01 10:06:00.000 INFO  18\tRECONCILED\t97\t;сверка: кассета #1, пересчитано 97 шт., ожидалось от 95 "
        "до 100 шт.\n"
        "2026-03-01 11:00:00.000 INFO  18\tRECONCILED\t95\t;сверка: кассета #1, пересчитано 95 шт., ожидалось от 97 "
        "до 97 шт. (пересчёт вне ожидаемого диапазона, принят пересчёт)\n";
    CashReport::Options options;
    options.from = options.to = kDay1;
    options.denomination = {1000, 500};
    options.cassettes = 1;
    const CashReport::Report report =
        CashReport::BuildFrom({{kDay1, Journal::ParseDayFile(text, "2026-03-01.txt")}}, options);
    EXPECT_EQ(report.totals.paid[0], 3u) << "the cut-off pass paid what the count found missing";
    EXPECT_EQ(report.totals.reconciled, 3);
    EXPECT_EQ(report.totals.discrepancy, 2) << "the later recount outside any doubt";
    EXPECT_EQ(report.days[0].count[0], 95u);
}

// The tool's report, parsed back: one row a day with the agreed columns first.
TEST_F(CashReportTest, TheToolsCsvAndHtmlSayWhatTheReportSays)
{
    PlayFiveDays("LCDM-2000");
    const CashReport::Report report = CashReport::Build(JournalFolder(), OptionsOf("LCDM-2000"));
    MainKey()["LogDir"] = JournalFolder();
    SubKey("Cassette\\1")["Denomination"] = 1000;
    SubKey("Cassette\\2")["Denomination"] = 500;
    const ChildProcess::Result csv = RunProgram({DISPENSERCTL_PROGRAM, "--registry", registry_.HiveFile(), "report",
                                                 "--from", "2026-03-01", "--to", "2026-03-05", "--format", "csv"});
    ASSERT_EQ(csv.status, 0) << csv.err;
    std::istringstream lines(csv.out);
    std::string header;
    std::getline(lines, header);
    EXPECT_EQ(header.rfind("date,paid1,paid2,amount,rejected,aborted,failed,unknown,reconciled,count1,count2,"
                           "reject_bin",
                           0),
              0u);
    std::uint64_t paid[2] = {0, 0}, amount = 0;
    std::vector<std::string> dates;
    std::string lastCount1;
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> cells;
        std::istringstream row(line);
        for (std::string cell; std::getline(row, cell, ',');)
            cells.push_back(cell);
        ASSERT_GE(cells.size(), 12u) << line;
        dates.push_back(cells[0]);
        paid[0] += std::stoull(cells[1]);
        paid[1] += std::stoull(cells[2]);
        amount += std::stoull(cells[3]);
        lastCount1 = cells[9];
    }
    EXPECT_EQ(dates, (std::vector<std::string>{"2026-03-01", "2026-03-02", "2026-03-03", "2026-03-04", "2026-03-05"}));
    EXPECT_EQ(paid[0], report.totals.paid[0]);
    EXPECT_EQ(paid[1], report.totals.paid[1]);
    EXPECT_EQ(amount, report.Amount(report.totals));
    EXPECT_EQ(lastCount1, std::to_string(CassetteCount(1)));

    const std::string html = folder_.File("report.html");
    const ChildProcess::Result written =
        RunProgram({DISPENSERCTL_PROGRAM, "--registry", registry_.HiveFile(), "report", "--from", "2026-03-01", "--to",
                    "2026-03-05", "--format", "html", "--output", html, "--denomination2", "100"});
    ASSERT_EQ(written.status, 0) << written.err;
    const std::string page = ReadFileBytes(html);
    EXPECT_THAT(page, HasSubstr("<svg"));
    EXPECT_THAT(page, HasSubstr("2026-03-04"));

    const ChildProcess::Result refused =
        RunProgram({DISPENSERCTL_PROGRAM, "--registry", registry_.HiveFile(), "report", "--from", "2026-03-05", "--to",
                    "2026-03-01"});
    EXPECT_EQ(refused.status, 2) << "a period that ends before it begins";
}

} // namespace
