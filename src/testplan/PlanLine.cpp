#include "testplan/PlanLine.h"

#include "session/RelvaneView.h"
#include "session/SessionCommands.h"
#include "testplan/DeviceOptions.h"
#include "testplan/PlanUserInterface.h"
#include "testplan/TestCase.h"

#include <algorithm>

namespace relvane
{

bool OpenPlanLine(CRelvaneView& view, CPlanUserInterface& ui, const CTestPlan& plan, CSerialFields serial,
                  const CDeviceOptions& options, std::vector<std::string>& messages)
{
    serial.nTimeoutMs = std::max(1500, options.nResponseLimitMs * 2 + 1000);
    ui.SetPlanActive(true);
    ui.AnswerSerialForm(serial);
    view.OnCommand(ID_SERIAL_SETTINGS);
    view.OnCommand(ID_SERIAL_CONNECT);
    view.OnCommand(plan.nMode == MODE_103 ? ID_MODE_103 : ID_MODE_94);
    messages = ui.TakeMessages();
    ui.SetPlanActive(false);
    return view.PortOpen();
}

} // namespace relvane
