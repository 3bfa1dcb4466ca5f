#pragma once

namespace relvane
{

// The session commands that would reach into a running plan: the protocol mode, the serial line
// and its settings, the device address, automatic processing and polling, the hand-typed frame
// and the disturbance upload. The window keeps them off while a plan runs.
bool CommandDisturbsPlan(int nId);

} // namespace relvane
