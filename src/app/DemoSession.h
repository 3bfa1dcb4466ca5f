#pragma once

#include <QString>

namespace relvane
{

class CMainFrame;

// Demonstration runs (hidden command-line option --demo-mode 94|103|eth): switches the window
// to the mode and plays a few commands towards the simulated relay of the demonstration channels,
// so that the log shows frames and annotations without any device. The session keeps its start-up
// settings (automatic processing on), so the exchanges run on as they would with a real relay.
// ParseDemoMode returns false for an unknown mode name.
bool ParseDemoMode(const QString& strName, int& nMode);
void StartDemo(CMainFrame& frame, int nMode);

} // namespace relvane
