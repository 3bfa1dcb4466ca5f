#pragma once

namespace relvane
{

// relvane-run --plan 103|94 ...: runs a test plan on the serial line and writes its reports.
// Returns the exit status (0 every applicable case passed, 1 any did not, 2 bad arguments,
// 128 + N after signal N).
int RunPlanCommand(int argc, char** argv);

// Whether the command line asks for a plan rather than a script.
bool IsPlanCommand(int argc, char** argv);

} // namespace relvane
