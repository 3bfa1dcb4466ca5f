#include "iec103/Iec103Codec.h"

#include <cstring>

namespace relvane
{
namespace
{

constexpr std::uint8_t kFixedStart = 0x10;
constexpr std::uint8_t kVariableStart = 0x68;
constexpr std::uint8_t kEnd = 0x16;

constexpr std::uint8_t kPrm = 0x40;
constexpr std::uint8_t kFcbBit = 0x20;
constexpr std::uint8_t kFcv = 0x10;
constexpr std::uint8_t kAcd = 0x20;

constexpr std::uint8_t kFcResetCu = 0;
constexpr std::uint8_t kFcSendConfirm = 3;
constexpr std::uint8_t kFcSendNoReply = 4;
constexpr std::uint8_t kFcResetFcb = 7;
constexpr std::uint8_t kFcLinkStatus = 9;
constexpr std::uint8_t kFcClass1 = 10;
constexpr std::uint8_t kFcClass2 = 11;
constexpr std::uint8_t kFcLinkStatusAnswer = 11;
constexpr std::uint8_t kFcLinkNotFunctioning = 14;
constexpr std::uint8_t kSingleAck = 0xE5;

constexpr std::uint8_t kVsqSingle = 0x81;
constexpr std::uint8_t kFunGlobal = 0xFF;
constexpr std::uint8_t kFunGeneric = 0xFE;

constexpr std::uint8_t kTypTimeSync = 6;
constexpr std::uint8_t kTypInterrogation = 7;
constexpr std::uint8_t kTypGenericData = 10;
constexpr std::uint8_t kTypGeneralCommand = 20;
constexpr std::uint8_t kTypGenericCommand = 21;
constexpr std::uint8_t kTypDisturbanceOrder = 24;
constexpr std::uint8_t kTypDisturbanceAck = 25;

constexpr std::uint8_t kCotTimeSync = 8;
constexpr std::uint8_t kCotInterrogation = 9;
constexpr std::uint8_t kCotGeneralCommand = 20;
constexpr std::uint8_t kCotDisturbance = 31;
constexpr std::uint8_t kCotGenericWrite = 40;
constexpr std::uint8_t kCotGenericRead = 42;
constexpr std::uint8_t kInfGenericInterrogation = 245;

bool HasCount(const CommandParams& params, int nCount)
{
    return params.pData != nullptr && params.pData[0] == nCount;
}

} // namespace

std::uint8_t Iec103Codec::Checksum(const std::uint8_t* pBytes, int nCount)
{
    std::uint8_t nSum = 0;
    for (int i = 0; i < nCount; ++i)
        nSum = static_cast<std::uint8_t>(nSum + pBytes[i]);
    return nSum;
}

int Iec103Codec::BuildFixedFrame(std::uint8_t* pOut, std::uint8_t nAddress, std::uint8_t nControl)
{
    pOut[0] = kFixedStart;
    pOut[1] = nControl;
    pOut[2] = nAddress;
    pOut[3] = static_cast<std::uint8_t>(nControl + nAddress);
    pOut[4] = kEnd;
    return 5;
}

// Control byte of a frame with FCV = 1 carrying the current FCB; the flag flips once it is used
// (provisionally: see ConfirmFcb and RestoreFcb).
std::uint8_t Iec103Codec::NextFcbControl(std::uint8_t nFunction)
{
    const auto nControl = static_cast<std::uint8_t>(kPrm | kFcv | (m_bFcb ? kFcbBit : 0) | nFunction);
    m_bFcbSent = m_bFcb;
    m_bFcbAwaitingAnswer = 1;
    m_bFcbRepeatSent = m_bFcbRepeatDue;
    m_bFcbRepeatDue = 0;
    m_bFcb = m_bFcb ? 0 : 1;
    return nControl;
}

void Iec103Codec::ConfirmFcb()
{
    if (!m_bFcbAwaitingAnswer)
        return;
    m_bFcb = m_bFcbSent ? 0 : 1;
    m_bFcbAwaitingAnswer = 0;
    m_bFcbRepeatDue = 0;
}

void Iec103Codec::RestoreFcb()
{
    if (!m_bFcbAwaitingAnswer)
        return;
    m_bFcb = m_bFcbSent;
    m_bFcbRepeatDue = 1;
}

bool Iec103Codec::CheckAnswersFcb(const std::uint8_t* pReceived, int nCount)
{
    if (pReceived == nullptr || nCount < 1)
        return false;
    if (pReceived[0] == kSingleAck)
        return true;
    int nControlAt = -1;
    if (pReceived[0] == kFixedStart)
        nControlAt = 1;
    else if (pReceived[0] == kVariableStart)
        nControlAt = 4;
    if (nControlAt < 0 || nCount <= nControlAt)
        return false;
    return (pReceived[nControlAt] & 0x0F) != kFcLinkStatusAnswer;
}

int Iec103Codec::BuildRequestClass1(std::uint8_t* pOut)
{
    return BuildFixedFrame(pOut, m_nLinkAddress, NextFcbControl(kFcClass1));
}

int Iec103Codec::BuildRequestClass2(std::uint8_t* pOut)
{
    return BuildFixedFrame(pOut, m_nLinkAddress, NextFcbControl(kFcClass2));
}

int Iec103Codec::BuildResetCu(std::uint8_t* pOut)
{
    m_bFcb = 1;
    m_bFcbAwaitingAnswer = 0;
    m_bFcbRepeatDue = 0;
    return BuildFixedFrame(pOut, m_nLinkAddress, kPrm | kFcResetCu);
}

int Iec103Codec::BuildResetFcb(std::uint8_t* pOut)
{
    m_bFcb = 1;
    m_bFcbAwaitingAnswer = 0;
    m_bFcbRepeatDue = 0;
    return BuildFixedFrame(pOut, m_nLinkAddress, kPrm | kFcResetFcb);
}

int Iec103Codec::BuildRequestLinkStatus(std::uint8_t* pOut)
{
    return BuildFixedFrame(pOut, m_nLinkAddress, kPrm | kFcLinkStatus);
}

int Iec103Codec::BuildVariableFrame(std::uint8_t* pOut, std::uint8_t nControl, const std::uint8_t* pAsdu,
                                    int nAsduLength) const
{
    const int nL = nAsduLength + 2;
    pOut[0] = kVariableStart;
    pOut[1] = static_cast<std::uint8_t>(nL);
    pOut[2] = static_cast<std::uint8_t>(nL);
    pOut[3] = kVariableStart;
    pOut[4] = nControl;
    pOut[5] = m_nLinkAddress;
    std::memcpy(pOut + 6, pAsdu, static_cast<std::size_t>(nAsduLength));
    pOut[4 + nL] = Checksum(pOut + 4, nL);
    pOut[5 + nL] = kEnd;
    return nL + 6;
}

int Iec103Codec::BuildGeneralInterrogation(std::uint8_t* pOut, const CommandParams&)
{
    const std::uint8_t abAsdu[] = {
        kTypInterrogation, kVsqSingle, kCotInterrogation, m_nCommonAddress, kFunGlobal, 0x00, m_nRii};
    const int nLength = BuildVariableFrame(pOut, NextFcbControl(kFcSendConfirm), abAsdu, sizeof abAsdu);
    ++m_nRii;
    return nLength;
}

int Iec103Codec::BuildTimeSync(std::uint8_t* pOut, const CommandParams& params)
{
    if (!HasCount(params, 7))
        return 0;
    std::uint8_t abAsdu[13] = {kTypTimeSync, kVsqSingle, kCotTimeSync, m_nCommonAddress, kFunGlobal, 0x00};
    std::memcpy(abAsdu + 6, params.pData + 1, 7);
    const std::uint8_t nControl = params.bConfirm ? NextFcbControl(kFcSendConfirm) : kPrm | kFcSendNoReply;
    return BuildVariableFrame(pOut, nControl, abAsdu, sizeof abAsdu);
}

int Iec103Codec::BuildGeneralCommand(std::uint8_t* pOut, const CommandParams& params)
{
    if (!HasCount(params, 1))
        return 0;
    const std::uint8_t nDco = params.pData[1] > 1 ? 2 : 1;
    const std::uint8_t abAsdu[] = {kTypGeneralCommand,
                                   kVsqSingle,
                                   kCotGeneralCommand,
                                   m_nCommonAddress,
                                   params.nFun,
                                   params.nInf,
                                   nDco,
                                   m_nRii};
    const std::uint8_t nControl = params.bConfirm ? NextFcbControl(kFcSendConfirm) : kPrm | kFcSendNoReply;
    const int nLength = BuildVariableFrame(pOut, nControl, abAsdu, sizeof abAsdu);
    ++m_nRii;
    return nLength;
}

// ASDU 21 and 10: header, RII, then the n user-data bytes.
int Iec103Codec::BuildUserDataFrame(std::uint8_t* pOut, std::uint8_t nTyp, std::uint8_t nCot,
                                    std::uint8_t nInf, const CommandParams& params)
{
    if (params.pData == nullptr || params.pData[0] > kMaxGenericBytes)
        return 0;
    const int nCount = params.pData[0];
    std::uint8_t abAsdu[7 + kMaxGenericBytes] = {nTyp,        kVsqSingle, nCot,  m_nCommonAddress,
                                                 kFunGeneric, nInf,       m_nRii};
    std::memcpy(abAsdu + 7, params.pData + 1, static_cast<std::size_t>(nCount));
    const int nLength = BuildVariableFrame(pOut, NextFcbControl(kFcSendConfirm), abAsdu, 7 + nCount);
    ++m_nRii;
    return nLength;
}

int Iec103Codec::BuildGenericCommand(std::uint8_t* pOut, const CommandParams& params)
{
    const std::uint8_t nCot = params.nInf == kInfGenericInterrogation ? kCotInterrogation : kCotGenericRead;
    return BuildUserDataFrame(pOut, kTypGenericCommand, nCot, params.nInf, params);
}

int Iec103Codec::BuildGenericData(std::uint8_t* pOut, const CommandParams& params)
{
    return BuildUserDataFrame(pOut, kTypGenericData, kCotGenericWrite, params.nInf, params);
}

int Iec103Codec::BuildDisturbanceOrder(std::uint8_t* pOut, const CommandParams& params)
{
    if (!HasCount(params, 5))
        return 0;
    std::uint8_t abAsdu[11] = {kTypDisturbanceOrder, kVsqSingle,  kCotDisturbance,
                               m_nCommonAddress,     params.nFun, params.nInf};
    std::memcpy(abAsdu + 6, params.pData + 1, 5);
    return BuildVariableFrame(pOut, NextFcbControl(kFcSendConfirm), abAsdu, sizeof abAsdu);
}

int Iec103Codec::BuildDisturbanceAck(std::uint8_t* pOut, const CommandParams& params)
{
    if (!HasCount(params, 5))
        return 0;
    std::uint8_t abAsdu[11] = {kTypDisturbanceAck, kVsqSingle,  kCotDisturbance,
                               m_nCommonAddress,   params.nFun, params.nInf};
    std::memcpy(abAsdu + 6, params.pData + 1, 5);
    return BuildVariableFrame(pOut, NextFcbControl(kFcSendConfirm), abAsdu, sizeof abAsdu);
}

bool Iec103Codec::CheckFrame(const std::uint8_t* pBytes, int nCount)
{
    if (pBytes == nullptr || nCount < 5)
        return false;
    // FT1.2 (IEC 60870-5-1) rejects a frame whose framing is damaged even when the sum happens to
    // fit: start characters, both lengths, the length against the bytes, and the end character.
    if (nCount == 5)
        return pBytes[0] == kFixedStart && pBytes[4] == kEnd &&
               pBytes[3] == static_cast<std::uint8_t>(pBytes[1] + pBytes[2]);
    const int nL = pBytes[1];
    if (pBytes[0] != kVariableStart || pBytes[2] != nL || pBytes[3] != kVariableStart ||
        nL < kMinVariableLength || nCount != nL + 6 || pBytes[nCount - 1] != kEnd)
        return false;
    return pBytes[nCount - 2] == Checksum(pBytes + 4, nL);
}

bool Iec103Codec::CheckSingleAck(const std::uint8_t* pBytes, int nCount)
{
    return pBytes != nullptr && nCount == 1 && pBytes[0] == kSingleAck;
}

bool Iec103Codec::CheckAutoAnswer(const std::uint8_t* pReceived, int nCount)
{
    if (pReceived == nullptr || nCount < 1)
        return false;
    if (pReceived[0] == kFixedStart)
        return nCount >= 3 && ((pReceived[1] & kAcd) || (pReceived[1] & 0x0F) == kFcLinkNotFunctioning);
    if (pReceived[0] == kVariableStart)
        return nCount >= 6 && (pReceived[4] & kAcd);
    return false;
}

int Iec103Codec::AutoAnswer(std::uint8_t* pOut, const std::uint8_t* pReceived, int nCount)
{
    if (pReceived == nullptr || nCount < 1)
        return -1;
    if (pReceived[0] == kFixedStart)
    {
        if (nCount < 3)
            return -1;
        const std::uint8_t nControl = pReceived[1];
        int nResult = -1;
        if (nControl & kAcd)
            nResult = BuildFixedFrame(pOut, pReceived[2], NextFcbControl(kFcClass1));
        if ((nControl & 0x0F) == kFcLinkNotFunctioning)
            nResult = BuildResetCu(pOut);
        return nResult;
    }
    if (pReceived[0] == kVariableStart)
    {
        if (nCount < 6 || !(pReceived[4] & kAcd))
            return -1;
        return BuildFixedFrame(pOut, pReceived[5], NextFcbControl(kFcClass1));
    }
    return -1;
}

} // namespace relvane
