#pragma once

#include "testplan/PlanFrame.h"
#include "testplan/TestCase.h"

#include <string>

#include <string_view>
#include <vector>

namespace relvane
{

// The plans, each built by its own file: Iec103Plan.cpp, Proto94Plan.cpp.
CTestPlan BuildIec103Plan();
CTestPlan BuildProto94Plan();

// The relay's identification as its first ASDU 5 of the run tells it ("" when none came).
std::string Iec103Identification(const std::vector<CPlanFrame>& frames);

// Every plan, built once ("103", then "94").
const std::vector<CTestPlan>& TestPlans();
// The plan with the id, or null.
const CTestPlan* FindTestPlan(std::string_view strId);

} // namespace relvane
