#pragma once

#include <QString>

namespace relvane
{

class CMainFrame;
class CDemoSerialChannel;

// Demonstration runs (hidden command-line option --demo-mode 94|103|eth): switches the window
// to the mode and plays a few exchanges with the demonstration relay, so that the log shows
// frames and annotations without any device. Returns false for an unknown mode name.
bool ParseDemoMode(const QString& strName, int& nMode);
void StartDemo(CMainFrame& frame, CDemoSerialChannel& serial, int nMode);

} // namespace relvane
