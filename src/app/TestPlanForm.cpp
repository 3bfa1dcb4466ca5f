#include "app/TestPlanForm.h"

#include "session/SessionCommands.h"
#include "testplan/PlanReport.h"

#include <algorithm>
#include <charconv>
#include <variant>

namespace relvane
{
namespace
{

} // namespace

std::vector<CPlanListRow> BuildPlanList(const CTestPlan& plan)
{
    std::vector<std::string> groups;
    for (const CTestCase& testCase : plan.cases)
    {
        if (std::find(groups.begin(), groups.end(), testCase.strGroup) == groups.end())
            groups.push_back(testCase.strGroup);
    }
    std::vector<CPlanListRow> rows;
    for (const std::string& strGroup : groups)
    {
        rows.push_back({strGroup, "", -1});
        for (std::size_t i = 0; i < plan.cases.size(); ++i)
        {
            const CTestCase& testCase = plan.cases[i];
            if (testCase.strGroup == strGroup)
                rows.push_back({testCase.strId + "  " + testCase.strTitle + (testCase.bActs ? "  [操作]" : ""),
                                testCase.strId, static_cast<int>(i)});
        }
    }
    return rows;
}

std::vector<COptionFieldText> OptionFieldTexts(const CDeviceOptions& options)
{
    std::vector<COptionFieldText> fields;
    for (const CDeviceOptionField& field : DeviceOptionFields())
    {
        if (const auto* pInt = std::get_if<int CDeviceOptions::*>(&field.member))
        {
            // A point not named is an empty field.
            const int nValue = options.*(*pInt);
            const bool bNone = field.nMin == CDeviceOptions::kNoPoint && nValue == CDeviceOptions::kNoPoint;
            fields.push_back({field.pszLabel, false, bNone ? std::string() : std::to_string(nValue)});
        }
        else
            fields.push_back({field.pszLabel, true, options.*std::get<bool CDeviceOptions::*>(field.member) ? "1" : "0"});
    }
    return fields;
}

bool ReadOptionFieldTexts(const std::vector<std::string>& values, CDeviceOptions& options,
                          std::string& strError)
{
    const std::vector<COptionFieldText> fields = OptionFieldTexts(options);
    if (values.size() != fields.size())
    {
        strError = "设备选项不全";
        return false;
    }
    CDeviceOptions read = options;
    for (std::size_t i = 0; i < fields.size(); ++i)
    {
        const std::string& strValue = values[i];
        const CDeviceOptionField& field = DeviceOptionFields()[i];
        if (const auto* pInt = std::get_if<int CDeviceOptions::*>(&field.member))
        {
            if (strValue.empty() && field.nMin == CDeviceOptions::kNoPoint)
            {
                read.*(*pInt) = CDeviceOptions::kNoPoint;
                continue;
            }
            int nValue = 0;
            const char* pEnd = strValue.data() + strValue.size();
            const auto result = std::from_chars(strValue.data(), pEnd, nValue);
            if (strValue.empty() || result.ec != std::errc() || result.ptr != pEnd)
            {
                strError = fields[i].strLabel + ": 请填入一个整数。";
                return false;
            }
            read.*(*pInt) = nValue;
        }
        else
            read.*std::get<bool CDeviceOptions::*>(field.member) = strValue == "1";
    }
    if (!CheckDeviceOptions(read, strError))
        return false;
    options = read;
    return true;
}

std::uint32_t VerdictColour(Verdict eVerdict)
{
    switch (eVerdict)
    {
    case VERDICT_PASS:
        return 0x008000;
    case VERDICT_FAIL:
        return 0xC00000;
    case VERDICT_NOT_APPLICABLE:
        return 0x808080;
    case VERDICT_UNFINISHED:
    default:
        return 0xC07000;
    }
}

std::uint32_t VerdictBackground(Verdict eVerdict)
{
    switch (eVerdict)
    {
    case VERDICT_PASS:
        return 0xC8F0C8;
    case VERDICT_FAIL:
        return 0xF8C0C0;
    case VERDICT_NOT_APPLICABLE:
        return 0xE0E0E0;
    case VERDICT_UNFINISHED:
    default:
        return 0xF8E8A0;
    }
}

std::string VerdictSummary(const std::vector<CCaseResult>& results)
{
    const CVerdictCount count = CountVerdicts(results);
    return "通过 " + std::to_string(count.nPass) + ", 不通过 " + std::to_string(count.nFail) + ", 不适用 " +
           std::to_string(count.nNotApplicable) + ", 未完成 " + std::to_string(count.nUnfinished);
}

bool OptionShownForPlan(std::size_t nField, const std::string& strPlanId)
{
    const std::vector<CDeviceOptionField>& fields = DeviceOptionFields();
    return nField < fields.size() && FieldUsedBy(fields[nField], strPlanId);
}

std::string ReportBaseName(const std::string& strChosen)
{
    for (const char* pszExtension : {".html", ".xml", ".pcapng"})
    {
        const std::string strExtension = pszExtension;
        if (strChosen.size() > strExtension.size() &&
            strChosen.compare(strChosen.size() - strExtension.size(), strExtension.size(), strExtension) == 0)
            return strChosen.substr(0, strChosen.size() - strExtension.size());
    }
    return strChosen;
}

std::string PlanIdForMode(int nMode)
{
    switch (nMode)
    {
    case MODE_94:
        return "94";
    case MODE_103:
        return "103";
    default:
        return {};
    }
}

std::string StartRefusal(std::size_t nChosen, bool bPortOpen, bool bRunning)
{
    if (bRunning)
        return "测试正在进行。";
    if (nChosen == 0)
        return "请至少选择一个测试项。";
    if (!bPortOpen)
        return "串口尚未打开,请先连接串口。";
    return {};
}

long long CaseLogPosition(const CCaseResult& result, const std::function<const CPlanFrame*(int)>& fnFind)
{
    std::vector<int> frames = result.proofFrames;
    if (result.nFirstFrame > 0)
        frames.push_back(result.nFirstFrame);
    for (const int nFrame : frames)
    {
        const CPlanFrame* pFrame = fnFind(nFrame);
        if (pFrame != nullptr && pFrame->nLogPosition >= 0)
            return pFrame->nLogPosition;
    }
    return -1;
}

} // namespace relvane
