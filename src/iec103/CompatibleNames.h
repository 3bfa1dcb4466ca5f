#pragma once

namespace relvane
{

// Names the 103 standard gives to function types, to information numbers of the compatible range
// and to the fields of the disturbance transfer, in the words of the Chinese edition. Each returns
// nullptr where the standard defines no name (private ranges, reserved numbers).

// 128 distance, 160 overcurrent, 176 transformer differential, 192 line differential, 254 generic,
// 255 global.
const char* FunctionTypeName(int nFun);
// Whether the compatible range of information numbers applies to the function type.
bool CheckCompatibleFunction(int nFun);
// The meaning of an information number of the compatible range, in monitor direction (what the
// relay reports) or in control direction (what the master orders). nTyp tells the global INF 0
// apart (time synchronisation, end of general interrogation).
const char* InformationName(int nTyp, int nFun, int nInf, bool bFromMaster);
// The measurand at a position (from 0) of ASDU 3 (INF 144 to 147) or ASDU 9 (INF 148).
const char* MeasurandName(int nFun, int nInf, int nPosition);
const char* DisturbanceOrderName(int nToo);     // TOO
const char* DisturbanceValueTypeName(int nTov); // TOV
const char* ActualChannelName(int nAcc);        // ACC
const char* KindOfDescriptionName(int nKod);    // KOD of generic data

} // namespace relvane
