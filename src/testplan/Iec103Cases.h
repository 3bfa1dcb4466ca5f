#pragma once

// The IEC 60870-5-103 cases, link layer (Iec103LinkCases.cpp) and application layer
// (Iec103AppCases.cpp, the generic services in Iec103GenericCases.cpp); Iec103Plan.cpp puts them in
// order.
namespace relvane
{

class CCaseContext;

void ResetCuConfirmed(CCaseContext& ctx);
void ResetFcbConfirmed(CCaseContext& ctx);
void LinkStatusAnswered(CCaseContext& ctx);
void FcbRepeatSameAnswer(CCaseContext& ctx);
void BadChecksumIgnored(CCaseContext& ctx);
void WrongAddressIgnored(CCaseContext& ctx);
void BadLengthIgnored(CCaseContext& ctx);
void AcdSetWhileClass1Waits(CCaseContext& ctx);
void AcdClearedWhenDrained(CCaseContext& ctx);
void DfcClear(CCaseContext& ctx);
void AnswersWithinLimit(CCaseContext& ctx);
void SingleCharacterWhereDeclared(CCaseContext& ctx);
void NoDataAnswered(CCaseContext& ctx);
void SendConfirmAcknowledged(CCaseContext& ctx);
void SendNoReplySilent(CCaseContext& ctx);
void RepeatedCommandNotExecuted(CCaseContext& ctx);

void IdentificationAfterResetCu(CCaseContext& ctx);
void IdentificationAfterResetFcb(CCaseContext& ctx);
void InterrogationCot(CCaseContext& ctx);
void InterrogationTerminated(CCaseContext& ctx);
void InterrogationScanNumber(CCaseContext& ctx);
void ClockWithAnswer(CCaseContext& ctx);
void ClockThenEventTimes(CCaseContext& ctx);
void GeneralCommandPositive(CCaseContext& ctx);
void GeneralCommandNegative(CCaseContext& ctx);
void GenericReadHeadings(CCaseContext& ctx);
void GenericReadGroup(CCaseContext& ctx);
void GenericWriteReadBack(CCaseContext& ctx);
void GenericInterrogation(CCaseContext& ctx);
void DisturbanceList(CCaseContext& ctx);
void DisturbanceTransfer(CCaseContext& ctx);
void MeasurandsInClass2(CCaseContext& ctx);
void EveryCotAllowed(CCaseContext& ctx);
void SpontaneousEventCot(CCaseContext& ctx);
void BroadcastClockSync(CCaseContext& ctx);

} // namespace relvane
