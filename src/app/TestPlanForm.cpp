#include "app/TestPlanForm.h"

#include "session/SessionCommands.h"

#include <algorithm>
#include <charconv>
#include <variant>

namespace relvane
{
namespace
{

// The fields in the order DescribeDeviceOptions lists them (the labels come from there).
using COptionMember = std::variant<int CDeviceOptions::*, bool CDeviceOptions::*>;
const COptionMember kMembers[] = {
    &CDeviceOptions::nDeviceAddress,        &CDeviceOptions::nCommonAddress,
    &CDeviceOptions::nSettingGroup,         &CDeviceOptions::nModel,
    &CDeviceOptions::nResponseLimitMs,      &CDeviceOptions::nClockToleranceMs,
    &CDeviceOptions::bGeneralInterrogation, &CDeviceOptions::bClockAnswer,
    &CDeviceOptions::bGeneralCommand,       &CDeviceOptions::nCommandFun,
    &CDeviceOptions::nCommandInf,           &CDeviceOptions::bGenericServices,
    &CDeviceOptions::bDisturbanceData,      &CDeviceOptions::bMeasurands,
    &CDeviceOptions::bSingleCharAck,
};

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
                rows.push_back(
                    {testCase.strId + "  " + testCase.strTitle, testCase.strId, static_cast<int>(i)});
        }
    }
    return rows;
}

std::vector<COptionFieldText> OptionFieldTexts(const CDeviceOptions& options)
{
    const auto described = DescribeDeviceOptions(options);
    std::vector<COptionFieldText> fields;
    for (std::size_t i = 0; i < std::size(kMembers) && i < described.size(); ++i)
    {
        if (const auto* pInt = std::get_if<int CDeviceOptions::*>(&kMembers[i]))
            fields.push_back({described[i].first, false, std::to_string(options.*(*pInt))});
        else
            fields.push_back({described[i].first, true,
                              options.*std::get<bool CDeviceOptions::*>(kMembers[i]) ? "1" : "0"});
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
        if (const auto* pInt = std::get_if<int CDeviceOptions::*>(&kMembers[i]))
        {
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
            read.*std::get<bool CDeviceOptions::*>(kMembers[i]) = strValue == "1";
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
