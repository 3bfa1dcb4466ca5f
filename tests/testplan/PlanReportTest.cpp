// The plan's pieces that need no line: device options in their file, the case lists, and the
// reports (the HTML page self-contained and valid, the JUnit XML read back).
#include "testplan/DeviceOptions.h"
#include "testplan/PlanReport.h"
#include "testplan/TestCase.h"
#include "testplan/TestPlanRunner.h"
#include "testplan/TestPlans.h"

#include <QStringDecoder>
#include <QXmlStreamReader>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <set>
#include <unistd.h>

namespace relvane
{
namespace
{

std::filesystem::path TempFile(const char* pszName)
{
    return std::filesystem::temp_directory_path() / (std::string("relvane-plan-") + std::to_string(getpid()) + pszName);
}

// What a JUnit file says of each case: "pass", "failure", "error" or "skipped", and the message.
struct CJUnitCase
{
    std::string strOutcome = "pass";
    std::string strMessage;
};

std::map<std::string, CJUnitCase> ReadJUnit(const std::string& strXml, std::map<std::string, int>& counts,
                                            std::string& strError)
{
    std::map<std::string, CJUnitCase> cases;
    QXmlStreamReader reader(QByteArray::fromStdString(strXml));
    std::string strCurrent;
    while (!reader.atEnd())
    {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QString strName = reader.name().toString();
        const QXmlStreamAttributes attributes = reader.attributes();
        if (strName == "testsuite")
        {
            for (const char* pszCount : {"tests", "failures", "errors", "skipped"})
                counts[pszCount] = attributes.value(QLatin1String(pszCount)).toInt();
        }
        else if (strName == "testcase")
        {
            // "ID title": the id is the first word.
            strCurrent = attributes.value("name").toString().section(' ', 0, 0).toStdString();
            cases[strCurrent];
        }
        else if (strName == "failure" || strName == "error" || strName == "skipped")
            cases[strCurrent] = {strName.toStdString(), attributes.value("message").toString().toStdString()};
    }
    if (reader.hasError())
        strError = reader.errorString().toStdString();
    return cases;
}

CPlanReport SampleReport()
{
    CPlanReport report;
    report.strPlanId = "103";
    report.strPlanTitle = "IEC 60870-5-103 一致性测试";
    report.strPort = "COM5 9600 bps NONE";
    report.strCapture = "night.pcapng";
    report.nStartWallUs = 1796000000000000;
    report.nEndWallUs = report.nStartWallUs + 12000000;
    CPlanFrame request;
    request.nNumber = 1;
    request.abBytes = {0x10, 0x40, 0x01, 0x41, 0x16};
    CPlanFrame answer;
    answer.nNumber = 2;
    answer.bInbound = true;
    answer.abBytes = {0x68, 0x09, 0x09, 0x68, 0x08, 0x01, 0x0A, 0x81, 0x2A};
    // The relay's own GBK name, and characters that mean something in markup.
    answer.strAnnotation = "描述    \xB1\xA3\xBB\xA4 <b>&\"'\x01\n";
    report.frames = {request, answer};
    report.strOptionsFile = "/tmp/relay <1>.ini";
    report.strIdentification = "ASDU 5: 兼容级别2, 制造厂\"RELVANE \"";
    report.results = {
        {"103-LNK-01", "复位通信单元得到确认", "链路层", VERDICT_PASS, "得到确认", {1, 2}, 1, 2, 0, 1000, false, ""},
        {"103-LNK-02", "复位帧计数位", "链路层", VERDICT_FAIL, "无应答 <&>", {1}, 1, 1, 0, 2000, true, "装置时钟已重新同步为计算机时间"},
        {"103-LNK-12", "E5", "链路层", VERDICT_NOT_APPLICABLE, "装置声明不具备", {}, 0, 0, 0, 0, false, ""},
        {"103-APP-01", "标识", "应用层", VERDICT_UNFINISHED, "串口已断开", {}, 0, 0, 0, 0, false, ""},
    };
    return report;
}

TEST(PlanReport, HtmlIsOneValidSelfContainedPageWithEveryCase)
{
    const CPlanReport report = SampleReport();
    const std::string strHtml = BuildHtmlReport(report);
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString strText = decoder.decode(QByteArray::fromStdString(strHtml));
    EXPECT_FALSE(decoder.hasError());
    EXPECT_EQ(strHtml.find("<!DOCTYPE html>"), 0u);
    EXPECT_NE(strHtml.find("<meta charset=\"utf-8\"/>"), std::string::npos);
    // Nothing from outside: no links, sources, imports or addresses.
    for (const char* pszOutside : {"http:", "https:", "src=", "<link", "url(", "@import", "<script", "file:"})
        EXPECT_EQ(strHtml.find(pszOutside), std::string::npos) << pszOutside;
    // Well-formed as XML as well, which a browser's parser takes without repairs.
    QXmlStreamReader reader(strText);
    std::set<std::string> sections;
    while (!reader.atEnd())
    {
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == QLatin1String("section"))
            sections.insert(reader.attributes().value("id").toString().toStdString());
    }
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    EXPECT_EQ(sections, (std::set<std::string>{"103-LNK-01", "103-LNK-02", "103-LNK-12", "103-APP-01"}));
    for (const char* pszText : {"通过", "不通过", "不适用", "未完成", "无应答 &lt;&amp;&gt;", "10 40 01 41 16",
                                "&lt;b&gt;&amp;&quot;&#39;", "\xEF\xBF\xBD", "COM5 9600 bps NONE", "应答时限(毫秒)",
                                "<span class=\"act\">操作</span>", "装置时钟已重新同步为计算机时间",
                                "/tmp/relay &lt;1&gt;.ini", "制造厂&quot;RELVANE &quot;"})
        EXPECT_NE(strHtml.find(pszText), std::string::npos) << pszText;
}

TEST(PlanReport, JUnitReadsBackWithOneOutcomePerVerdict)
{
    const CPlanReport report = SampleReport();
    std::map<std::string, int> counts;
    std::string strError;
    const auto cases = ReadJUnit(BuildJUnitReport(report), counts, strError);
    EXPECT_EQ(strError, "");
    EXPECT_EQ(counts, (std::map<std::string, int>{{"tests", 4}, {"failures", 1}, {"errors", 1}, {"skipped", 1}}));
    ASSERT_EQ(cases.size(), 4u);
    EXPECT_EQ(cases.at("103-LNK-01").strOutcome, "pass");
    EXPECT_EQ(cases.at("103-LNK-02").strOutcome, "failure");
    EXPECT_EQ(cases.at("103-LNK-02").strMessage, "无应答 <&>");
    EXPECT_EQ(cases.at("103-LNK-12").strOutcome, "skipped");
    EXPECT_EQ(cases.at("103-APP-01").strOutcome, "error");
    EXPECT_EQ(cases.at("103-APP-01").strMessage, "串口已断开");
}

// The window's export writes the three files whole; the capture numbers the frames as the report
// does, which tshark reads back.
TEST(PlanReport, ExportWritesReportsAndACaptureOfTheFrames)
{
    const CPlanReport report = SampleReport();
    const std::string strBase = TempFile("export").string();
    std::string strError;
    ASSERT_TRUE(WritePlanReports(strBase, report, true, strError)) << strError;
    for (const char* pszExtension : {".html", ".xml", ".pcapng"})
        EXPECT_GT(std::filesystem::file_size(strBase + pszExtension), 100u) << pszExtension;
    EXPECT_FALSE(WritePlanReports("/nonexistent/dir/r", report, true, strError));
    EXPECT_NE(strError.find("/nonexistent/dir/r.html"), std::string::npos) << strError;
    if (std::system("command -v tshark >/dev/null 2>&1") == 0)
    {
        const std::string strOut = strBase + ".tshark";
        ASSERT_EQ(std::system(("tshark -r " + strBase + ".pcapng -d rtacser.data,iec60870_5_103 -T fields -e frame.number " +
                               "-e frame.packet_flags_direction > " + strOut + " 2>/dev/null")
                                  .c_str()),
                  0);
        std::ifstream in(strOut);
        const std::string strText((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(strText, "1\t0x00000002\n2\t0x00000001\n");
        std::filesystem::remove(strOut);
    }
    for (const char* pszExtension : {".html", ".xml", ".pcapng"})
        std::filesystem::remove(strBase + pszExtension);
}

TEST(PlanReport, ExitStatusZeroOnlyWhenEveryApplicableCasePassed)
{
    struct CRow
    {
        std::vector<Verdict> verdicts;
        int nStatus;
    };
    const CRow rows[] = {
        {{}, 0},
        {{VERDICT_PASS, VERDICT_NOT_APPLICABLE}, 0},
        {{VERDICT_PASS, VERDICT_FAIL}, 1},
        {{VERDICT_PASS, VERDICT_UNFINISHED}, 1},
    };
    for (const CRow& row : rows)
    {
        std::vector<CCaseResult> results;
        for (const Verdict eVerdict : row.verdicts)
        {
            CCaseResult result;
            result.eVerdict = eVerdict;
            results.push_back(result);
        }
        EXPECT_EQ(PlanExitStatus(results), row.nStatus);
    }
}

TEST(DeviceOptions, FileIsReadCheckedAndWrittenBack)
{
    struct CRow
    {
        const char* pszFile;
        bool bOk;
        const char* pszError; // part of the message
    };
    const CRow rows[] = {
        {"[testplan]\nresponseLimitMs=300\nsingleCharAck=true\ncommandInf=19\n", true, ""},
        {"[testplan]\n", true, ""},
        {"[testplan]\nresponseLimitMs=5\n", false, "responseLimitMs"},
        {"[testplan]\ndeviceAddress=256\n", false, "deviceAddress"},
        {"[testplan]\ndeviceAddress=abc\n", false, "deviceAddress"},
        {"[testplan]\nmeasurands=maybe\n", false, "measurands"},
        {"[testplan]\nspeed=9600\n", false, "unknown option \"speed\""},
        // Without its heading a file would be read as nothing at all.
        {"responseLimitMs=300\n", false, "must start with the line [testplan]"},
        {"\n; declared for the bay 3 relay\n[testplan]\ncommandInf=-1\nwriteGroup=5\n", true, ""},
        {"[testplan]\nabsentInf=-2\n", false, "absentInf"},
        {"[testplan]\n[bay]\nresponseLimitMs=300\n", false, "unknown section [bay]"},
    };
    // A file of its own per row: the settings reader caches a file by name, size and time, and two
    // rows of the same size written within one tick of the clock would read as the first.
    int nRow = 0;
    for (const CRow& row : rows)
    {
        SCOPED_TRACE(row.pszFile);
        const std::filesystem::path path = TempFile(("options" + std::to_string(++nRow) + ".ini").c_str());
        std::ofstream(path) << row.pszFile;
        CDeviceOptions options;
        std::string strError;
        EXPECT_EQ(LoadDeviceOptions(path.string(), options, strError), row.bOk);
        EXPECT_NE(strError.find(row.pszError), std::string::npos) << strError;
        if (!row.bOk)
        {
            EXPECT_EQ(options, CDeviceOptions()); // a refused file changes nothing
        }
        std::filesystem::remove(path);
    }
    const std::filesystem::path path = TempFile("options.ini");
    CDeviceOptions options;
    std::string strError;
    options.nResponseLimitMs = 300;
    options.bSingleCharAck = true;
    options.bMeasurands = false;
    options.nCommandInf = 19;
    std::filesystem::remove(path);
    ASSERT_TRUE(SaveDeviceOptions(path.string(), options, strError)) << strError;
    CDeviceOptions read;
    ASSERT_TRUE(LoadDeviceOptions(path.string(), read, strError)) << strError;
    EXPECT_EQ(read, options);
    EXPECT_TRUE(read.Has(FEATURE_SINGLE_CHAR_ACK | FEATURE_GENERAL_INTERROGATION));
    EXPECT_FALSE(read.Has(FEATURE_MEASURANDS));
    EXPECT_FALSE(LoadDeviceOptions((path.string() + ".missing"), read, strError));
    std::filesystem::remove(path);
}

TEST(TestPlans, CaseListsHaveUniqueIdsAndChoosingByIdKeepsPlanOrder)
{
    const CTestPlan* pPlan = FindTestPlan("103");
    ASSERT_NE(pPlan, nullptr);
    EXPECT_GE(pPlan->cases.size(), 30u);
    for (const CTestPlan& plan : TestPlans())
    {
        std::set<std::string> ids;
        for (const CTestCase& testCase : plan.cases)
        {
            EXPECT_TRUE(ids.insert(testCase.strId).second) << testCase.strId;
            EXPECT_EQ(testCase.strId.rfind(plan.strId + "-", 0), 0u) << testCase.strId;
            EXPECT_FALSE(testCase.strTitle.empty());
            EXPECT_TRUE(testCase.fnRun) << testCase.strId;
        }
    }
    EXPECT_EQ(FindTestPlan("95"), nullptr);
    std::vector<int> positions;
    std::string strError;
    ASSERT_TRUE(CTestPlanRunner::SelectCases(*pPlan, {"103-APP-01", "103-LNK-02"}, positions, strError));
    ASSERT_EQ(positions.size(), 2u);
    EXPECT_EQ(pPlan->cases[static_cast<std::size_t>(positions[0])].strId, "103-LNK-02");
    EXPECT_FALSE(CTestPlanRunner::SelectCases(*pPlan, {"103-LNK-99"}, positions, strError));
    EXPECT_NE(strError.find("103-LNK-99"), std::string::npos);
}

} // namespace
} // namespace relvane
