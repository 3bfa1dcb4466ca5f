// The event list and the measurand trends against relvane-relay raising events and sending
// measurands on its own cycle: they fill while the session runs, the CSV exports read back, and
// a log saved and opened again gives the same rows from its logged bytes.
#include "RelayFixture.h"

#include "app/CommandTable.h"
#include "app/EventListPanel.h"
#include "app/LogEdit.h"
#include "app/RecordViews.h"
#include "app/TrendPanel.h"
#include "app/TrendPlot.h"
#include "events/RecordCsv.h"

#include <QListWidget>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <ostream>

namespace relvane::test
{
namespace
{

const std::string kComText = std::to_string(RelayFixture::kCom);

struct CRecordsCase
{
    const char* pszName;
    std::vector<std::string> relayArgs;
    int nMode;
    std::vector<int> commands;      // after connecting
    std::vector<int> stopCommands;  // end the repetition
    std::size_t nEvents;            // at least
    std::vector<std::string> names; // measurand names, in the order they first came
    const char* pszEventName;       // one event's name that must be there
};

void PrintTo(const CRecordsCase& one, std::ostream* pStream)
{
    *pStream << one.pszName;
}

class RecordViewsEndToEnd : public RelayFixture, public ::testing::WithParamInterface<CRecordsCase>
{
protected:
    const CRecordTables& Tables() { return m_pFrame->RecordViews()->Tables(); }
    std::filesystem::path Path(const char* pszName) const { return m_dir / pszName; }
    static std::string ReadAll(const std::filesystem::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
};

TEST_P(RecordViewsEndToEnd, ViewsFillLiveExportAndComeBackFromTheSavedLog)
{
    const CRecordsCase& one = GetParam();
    std::vector<std::string> args = one.relayArgs;
    args.insert(args.end(), {"--com", kComText, "--quiet"});
    StartRelay(args);
    Choose(one.nMode);
    ConnectToRelay();
    Choose(ID_VIEW_EVENTS);
    Choose(ID_VIEW_TRENDS);
    for (const int nId : one.commands)
        Choose(nId);
    ASSERT_TRUE(WaitFor(
        [&](const std::string&)
        {
            std::size_t nShortest = 1000;
            for (const CMeasurandSeries& series : Tables().Series())
                nShortest = std::min(nShortest, series.points.size());
            return Tables().Events().size() >= one.nEvents && Tables().Series().size() >= one.names.size() &&
                   nShortest >= 2;
        },
        20000))
        << Tables().Events().size() << " events, " << Tables().Series().size() << " series\n" << Log();
    for (const int nId : one.stopCommands)
        Choose(nId);
    ASSERT_TRUE(WaitForLinkIdle());
    Choose(ID_SERIAL_DISCONNECT);

    // The tables: names, and every event of the relay's numbering in order.
    std::vector<std::string> names;
    for (const CMeasurandSeries& series : Tables().Series())
        names.push_back(series.strName);
    EXPECT_EQ(names, one.names);
    const auto& events = Tables().Events();
    EXPECT_TRUE(std::any_of(events.begin(), events.end(),
                            [&](const CEventRow& row) { return row.strName == one.pszEventName; }));
    for (std::size_t i = 1; i < events.size(); ++i)
    {
        EXPECT_EQ(events[i].nNumber, events[i - 1].nNumber + 1);
        EXPECT_GE(events[i].dReceived, events[i - 1].dReceived);
        if (events[i].nSin >= 0 && events[i - 1].nSin >= 0) // 103: SIN counts the relay's events
        {
            EXPECT_EQ(events[i].nSin, (events[i - 1].nSin + 1) % 256) << i;
        }
    }

    // The views show them; a double-click finds the frame in the log.
    CRecordViews& views = *m_pFrame->RecordViews();
    QApplication::processEvents();
    views.Refresh();
    EXPECT_EQ(views.EventPanel()->Shown()->rowCount(), static_cast<int>(events.size()));
    EXPECT_EQ(views.TrendPanel()->SeriesList()->count(), static_cast<int>(names.size()));
    ASSERT_TRUE(views.ShowFrame(events.back()));
    EXPECT_NE(m_pFrame->LogEdit()->textCursor().selectedText().indexOf(QStringLiteral("接收: ")), -1);
    const QRect area = views.TrendPanel()->Plot()->PlotArea();
    EXPECT_NE(views.TrendPanel()->Plot()->ReadoutAt(area.right()).indexOf(QString::fromStdString(names.front())), -1);

    // Exports read back: every event, every sample.
    ASSERT_TRUE(views.EventPanel()->ExportCsv(QString::fromStdString(Path("events.csv").string())));
    ASSERT_TRUE(views.TrendPanel()->ExportCsv(QString::fromStdString(Path("trends.csv").string())));
    const auto eventRows = ParseCsv(ReadAll(Path("events.csv")));
    ASSERT_EQ(eventRows.size(), events.size() + 1);
    for (std::size_t i = 0; i < events.size(); ++i)
    {
        EXPECT_EQ(eventRows[i + 1].at(6), events[i].strName);
        EXPECT_EQ(eventRows[i + 1].at(2), events[i].strRelayTime);
    }
    const auto sampleRows = ParseCsv(ReadAll(Path("trends.csv")));
    EXPECT_EQ(sampleRows.size(), Tables().PointCount() + 1);

    // The log saved and opened again: the same events and values, read from its bytes.
    struct CSnapshot
    {
        std::vector<std::tuple<int, int, int, std::string, std::string, int, int>> events;
        std::vector<std::pair<std::string, std::vector<double>>> series;
        bool operator==(const CSnapshot&) const = default;
    };
    auto snapshot = [this]
    {
        CSnapshot shot;
        for (const CEventRow& row : Tables().Events())
            shot.events.emplace_back(row.nProtocol, row.nFun, row.nInf, row.strRelayTime, row.strState, row.nSin,
                                     row.nCot);
        for (const CMeasurandSeries& series : Tables().Series())
        {
            std::vector<double> values;
            for (const CTrendPoint& point : series.points)
                values.push_back(point.dValue);
            shot.series.emplace_back(series.strKey, values);
        }
        return shot;
    };
    const CSnapshot live = snapshot();
    const QString strLog = QString::fromStdString(Path("session.rtf").string());
    ASSERT_TRUE(m_pFrame->SaveLogFile(strLog));
    Choose(ID_FILE_NEW);
    EXPECT_TRUE(Tables().Events().empty());
    ASSERT_TRUE(m_pFrame->OpenLogFile(strLog));
    EXPECT_TRUE(snapshot() == live);
    EXPECT_EQ(Tables().TimeBase(), TIME_ORDER); // the log had no stamps
    views.Refresh();
    EXPECT_EQ(views.EventPanel()->Shown()->rowCount(), static_cast<int>(live.events.size()));
    ASSERT_TRUE(views.ShowFrame(Tables().Events().front()));
    // An emptied log holds the frame no more, nor does another frame at its place.
    Choose(ID_CLEAR_LOG);
    EXPECT_FALSE(views.ShowFrame(Tables().Events().front()));
    EXPECT_FALSE(views.ShowFrame(Tables().Events().back()));
}

const std::vector<std::string> k103Names{
    "128/148 测量值1 IL1", "128/148 测量值2 IL2",  "128/148 测量值3 IL3", "128/148 测量值4 UL1E",
    "128/148 测量值5 UL2E", "128/148 测量值6 UL3E", "128/148 测量值7 P",   "128/148 测量值8 Q",
    "128/148 测量值9 f",    "128/147 测量值1 IN",   "128/147 测量值2 UEN"};

INSTANTIATE_TEST_SUITE_P(
    Relay, RecordViewsEndToEnd,
    ::testing::Values(
        CRecordsCase{"Iec103",
                     {"--protocol", "103", "--event-interval", "200", "--measurand-cycle", "300"},
                     ID_MODE_103,
                     {32843, ID_103_POLLING},
                     {ID_103_POLLING},
                     4,
                     k103Names,
                     "辅助输入2"},
        CRecordsCase{"Proto94",
                     {"--protocol", "94", "--event-interval", "700"},
                     ID_MODE_94,
                     {32792, 32799, 32799},
                     {32792},
                     3,
                     {"采样值1", "采样值2", "采样值3", "采样值4", "采样值5", "采样值6", "采样值7", "采样值8"},
                     "装置上电"}),
    [](const ::testing::TestParamInfo<CRecordsCase>& param) { return std::string(param.param.pszName); });

} // namespace
} // namespace relvane::test
