// The reports of a run come all or none: a disk that fills up while any of them is written leaves
// the last run's files exactly as they were, and no temporary file behind.
#include "FileSizeLimit.h"
#include "testplan/PlanReport.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <stdlib.h>

namespace relvane
{
namespace
{

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

CPlanReport ShortRun()
{
    CPlanReport report;
    report.strPlanId = "103";
    report.strPlanTitle = "IEC 60870-5-103";
    report.strPort = "COM5 9600 bps EVEN";
    CPlanFrame request;
    request.nNumber = 1;
    request.abBytes = {0x10, 0x40, 0x01, 0x41, 0x16};
    report.frames.assign(40, request);
    report.results = {
        {"103-LNK-01", "复位通信单元得到确认", "链路层", VERDICT_PASS, "得到确认", {1}, 1, 1, 0, 1000, false, ""},
        {"103-LNK-02", "复位帧计数位", "链路层", VERDICT_FAIL, "无应答", {1}, 1, 1, 0, 2000, false, ""},
    };
    return report;
}

TEST(PlanReportFullDisk, OldReportsStayWhenAnyFileCannotBeWrittenWhole)
{
    char szDir[] = "/tmp/relvane-reports-XXXXXX";
    ASSERT_NE(mkdtemp(szDir), nullptr);
    const std::filesystem::path dir = szDir;
    const std::string strBase = (dir / "night").string();
    const CPlanReport report = ShortRun();
    const std::size_t anSizes[] = {BuildHtmlReport(report).size(), BuildJUnitReport(report).size(),
                                   BuildPlanCapture(report, true).size()};
    const char* const apszExtensions[] = {".html", ".xml", ".pcapng"};
    struct CCase
    {
        const char* pszName;
        std::size_t nLimit; // 0: none
    };
    const CCase cases[] = {
        {"the report page does not fit", anSizes[0] - 1},
        {"the JUnit file does not fit", anSizes[1] - 1},
        {"the capture does not fit", anSizes[2] - 1},
        {"every file fits", 0},
    };
    for (const CCase& c : cases)
    {
        SCOPED_TRACE(c.pszName);
        for (const char* pszExtension : apszExtensions)
            std::ofstream(strBase + pszExtension) << "old " << pszExtension;
        std::string strError;
        bool bWritten = false;
        {
            std::unique_ptr<test::CFileSizeLimit> pLimit;
            if (c.nLimit != 0)
                pLimit = std::make_unique<test::CFileSizeLimit>(c.nLimit);
            bWritten = WritePlanReports(strBase, report, true, strError);
        }
        EXPECT_EQ(bWritten, c.nLimit == 0) << strError;
        for (std::size_t i = 0; i < std::size(apszExtensions); ++i)
        {
            const std::string strFile = ReadFile(strBase + apszExtensions[i]);
            EXPECT_EQ(strFile.size(), bWritten ? anSizes[i] : std::strlen("old ") + std::strlen(apszExtensions[i]));
            EXPECT_EQ(strFile.rfind("old ", 0) == 0, !bWritten) << apszExtensions[i];
        }
        EXPECT_EQ(strError.find("File too large") != std::string::npos, !bWritten) << strError;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 3)
            << "no temporary file is left";
    }
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace relvane
