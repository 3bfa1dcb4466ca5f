#pragma once

#include "session/FormFields.h"

#include <string>
#include <vector>

namespace relvane
{

class CRelvaneView;
class CPlanUserInterface;
struct CDeviceOptions;
struct CTestPlan;

// Opens the session's serial line for a plan run without a window, as the serial form would set
// it, and switches to the plan's protocol mode. The session's time-out is made long enough that a
// late answer is still taken as one (the cases judge the lateness). The message boxes said on the
// way are handed back. Returns whether the port is open.
bool OpenPlanLine(CRelvaneView& view, CPlanUserInterface& ui, const CTestPlan& plan, CSerialFields serial,
                  const CDeviceOptions& options, std::vector<std::string>& messages);

} // namespace relvane
