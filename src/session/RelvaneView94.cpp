#include "proto94/Bcd.h"
#include "proto94/Proto94Commands.h"
#include "session/IUserInterface.h"
#include "session/RelvaneView.h"
#include "session/RelvaneViewParts.h"

// CRelvaneView, the '94 protocol: its commands and its receive path.
namespace relvane
{

using view_parts::kPortClosedMessage;
using view_parts::LowByte;

namespace
{

// The shortest chunk the receive paths log and answer.
constexpr int kMinChunk = 5;

} // namespace

void CRelvaneView::OnProto94Command(int nId)
{
    if (!m_bPortOpen)
    {
        m_ui.ShowMessage(kPortClosedMessage);
        return;
    }
    const CProto94Command* pCommand = FindProto94Command(nId);
    if (pCommand == nullptr)
        return; // an id of the range without a code sends nothing
    if (nId == ID_94_POLL)
        m_b94PollStopped = false;

    CHeldSend send;
    send.eKind = CHeldSend::COMMAND_94;
    send.nId = nId;
    if (pCommand->eData == P94_DATA_CLOCK)
    {
        send.clock.bShowAnswerBox = false;
        if (!m_ui.ShowClockForm(send.clock))
            return;
    }
    QueueSerialSend(std::move(send));
}

void CRelvaneView::SendProto94Command(int nId, const CClockFields& clock)
{
    // A poll that falls due after the port closed goes nowhere, without a word.
    if (!m_bPortOpen)
    {
        if (m_bUserSend)
            m_ui.ShowMessage(kPortClosedMessage);
        return;
    }
    const CProto94Command* pCommand = FindProto94Command(nId);
    if (pCommand == nullptr)
        return;

    std::uint8_t abExtra[2] = {0, 0};
    int nExtra = 0;
    if (pCommand->eData == P94_DATA_CLOCK)
    {
        // The frame has whole seconds: the computer's time is cut to its second.
        int nMillisecond = 0;
        const CClockFields time = clock.bSynchronise ? ClockNow(nMillisecond) : clock;
        BuildClockBytes(m_txBuffer.data(), time.nYear, time.nMonth, time.nDay, time.nHour, time.nMinute,
                        time.nSecond);
    }
    else
        nExtra = PrepareProto94Extra(*pCommand, LowByte(m_nSettingGroup), m_stepCounter, abExtra);

    m_proto94Codec.SetModel(m_nDeviceModel);
    const int nLength =
        m_proto94Codec.BuildFrame(pCommand->nCode, m_txBuffer.data(), LowByte(m_nDeviceAddress),
                                  LowByte(m_nCpuNumber), nExtra, abExtra);
    if (nLength <= 0)
        return;
    SendSerialFrame(nLength, true);
}

void CRelvaneView::OnProto94Received(const CReceivedChunk& chunk)
{
    // A short read, or the first part of a frame the read limit cut, is not an answer (yet).
    if (chunk.bIgnored || chunk.pieces.empty())
        return;
    KillTimer(TIMER_RESPONSE);
    // Answers that met in one read are taken frame by frame, each as if it had come alone.
    CAutomaticStep step;
    for (const CScanPiece& piece : chunk.pieces)
        step.Merge(OnProto94Frame(piece.abBytes.data(), static_cast<int>(piece.abBytes.size())));
    TakeAutomaticStep(std::move(step), CHeldSend::FOLLOW_UP_94);
}

CAutomaticStep CRelvaneView::OnProto94Frame(const std::uint8_t* pFrame, int nLength)
{
    CAutomaticStep step;
    // Only the rest of a split chunk can be this short; it cannot hold a frame.
    if (nLength >= kMinChunk && m_proto94Codec.CheckFrame(pFrame, nLength))
    {
        WriteEvent(LOG_RECEIVE);
        WriteFrame(pFrame, nLength, m_bHex);
        if (!m_bAutoProcess)
            return step;
        std::uint8_t abAnswer[Proto94Codec::kMaxFrameLength];
        if (m_proto94Codec.BuildAutoAnswer(abAnswer, pFrame, nLength) > 0)
        {
            step.eKind = CAutomaticStep::FOLLOW_UP;
            step.abTrigger.assign(pFrame, pFrame + nLength);
            return step;
        }
    }
    else
    {
        WriteEvent(LOG_CRC_ERROR);
        WriteFrame(pFrame, nLength, m_bHex);
        if (!m_bAutoProcess)
            return step;
    }
    step.eKind = CAutomaticStep::POLL_TIMER;
    return step;
}

} // namespace relvane
