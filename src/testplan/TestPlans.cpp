#include "testplan/TestPlans.h"

namespace relvane
{

const std::vector<CTestPlan>& TestPlans()
{
    static const std::vector<CTestPlan> s_plans = {BuildIec103Plan(), BuildProto94Plan()};
    return s_plans;
}

const CTestPlan* FindTestPlan(std::string_view strId)
{
    for (const CTestPlan& plan : TestPlans())
    {
        if (plan.strId == strId)
            return &plan;
    }
    return nullptr;
}

const char* VerdictText(Verdict eVerdict)
{
    switch (eVerdict)
    {
    case VERDICT_PASS:
        return "通过";
    case VERDICT_FAIL:
        return "不通过";
    case VERDICT_NOT_APPLICABLE:
        return "不适用";
    case VERDICT_UNFINISHED:
    default:
        return "未完成";
    }
}

} // namespace relvane
