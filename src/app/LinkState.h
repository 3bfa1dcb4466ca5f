#pragma once

#include <QString>

namespace relvane
{

class CRelvaneView;

// The link's state as its own status pane says it: "未连接", "已连接 COM200 9600 Even",
// "监听 TCP 1048", with "巡检中" after it while the polling repeats on its own.
QString LinkStateText(CRelvaneView& view);
// The widest text the pane may show, for the window's smallest width.
QString WidestLinkStateText();

} // namespace relvane
