#include "session/IUserInterface.h"
#include "session/RelvaneView.h"
#include "session/RelvaneViewParts.h"

#include <algorithm>

// CRelvaneView, the 103 protocol on the serial line: its commands, requests and receive path.
namespace relvane
{

using view_parts::LowByte;

namespace
{

constexpr std::uint8_t kIec103VariableStart = 0x68;

// The data of a time synchronisation, count byte first: the seven-octet binary time
// (milliseconds of the minute, minute, hour, day, month, year).
std::array<std::uint8_t, 8> TimeSyncData(const CClockFields& clock, int nMillisecond)
{
    const int nMs = std::clamp(clock.nSecond, 0, 59) * 1000 + std::clamp(nMillisecond, 0, 999);
    return {7,
            LowByte(nMs),
            LowByte(nMs >> 8),
            LowByte(clock.nMinute),
            LowByte(clock.nHour),
            LowByte(clock.nDay),
            LowByte(clock.nMonth),
            LowByte(clock.nYear % 100)};
}

} // namespace

void CRelvaneView::OnIec103Command(int nId)
{
    CHeldSend send;
    send.eKind = CHeldSend::COMMAND_103;
    CIec103Request& request = send.request;
    request.nId = nId;

    switch (nId)
    {
    case ID_103_CLASS1:
    case ID_103_CLASS2:
    case ID_103_RESET_CU:
    case ID_103_RESET_FCB:
    case ID_103_LINK_STATUS:
    case ID_103_INTERROGATION:
        break;
    case ID_103_TIME_SYNC:
    {
        CClockFields clock;
        clock.bShowAnswerBox = true;
        if (!m_ui.ShowClockForm(clock))
            return;
        request.abData = TimeSyncData(clock, 0);
        request.bConfirm = clock.bAnswer;
        request.bTimed = clock.bAnswer;
        // The form's fields hold the time it closed; the frame may wait for an answer first.
        request.bClockNow = clock.bSynchronise;
        break;
    }
    case ID_103_GENERAL_COMMAND:
    {
        CGeneralCommandFields fields = m_generalCommandFields;
        if (!m_ui.ShowGeneralCommandForm(fields))
            return;
        m_generalCommandFields = fields;
        request.nFun = LowByte(fields.nFun);
        request.nInf = LowByte(fields.nInf);
        request.abData[0] = 1;
        request.abData[1] = LowByte(fields.nDcoIndex + 1);
        request.bConfirm = fields.bAnswer;
        request.bTimed = fields.bAnswer;
        break;
    }
    case ID_103_GENERIC_COMMAND:
    case ID_103_GENERIC_DATA:
    {
        const bool bConfirmed =
            nId == ID_103_GENERIC_COMMAND
                ? m_ui.ShowGenericIdentificationForm(m_iec103Codec.UserData(), m_genericIdentificationFields)
                : m_ui.ShowGenericDataForm(m_iec103Codec.UserData(), m_genericDataFields);
        if (!bConfirmed)
            return;
        request.nInf =
            nId == ID_103_GENERIC_COMMAND ? m_genericIdentificationFields.nInf : m_genericDataFields.nInf;
        // The list as confirmed now: editing it again while the command waits changes nothing.
        const std::uint8_t* pData = m_iec103Codec.UserData().Data();
        request.abBytes.assign(pData, pData + 1 + pData[0]);
        break;
    }
    case ID_103_CUSTOM_FRAME:
    {
        m_customFrameFields.bShowChecksumButton = true;
        const CCustomFrame usersFrame = m_customFrame;
        const bool bOk = m_ui.ShowCustomFrameForm(m_customFrame, m_customFrameFields);
        request.abBytes.resize(kTxBufferSize);
        const int nLength = m_customFrame.CopyFrame(request.abBytes.data(), kTxBufferSize);
        if (m_ui.AnswersForTheUser())
            m_customFrame = usersFrame; // a plan's frame is not the user's to see next time
        if (!bOk)
            return;
        if (nLength < 1)
            return; // nothing to send
        request.abBytes.resize(static_cast<std::size_t>(nLength));
        request.bTimed = false;
        break;
    }
    case ID_103_DISTURBANCE_ORDER:
    case ID_103_DISTURBANCE_ACK:
    {
        CDisturbanceFields fields = m_disturbanceFields;
        fields.nAsdu = nId == ID_103_DISTURBANCE_ORDER ? 24 : 25;
        if (!m_ui.ShowDisturbanceForm(fields))
            return;
        m_disturbanceFields = fields;
        request.nFun = LowByte(fields.nFun);
        request.nInf = 0;
        request.abData = {5,
                          fields.nToo,
                          LowByte(fields.nTov),
                          LowByte(fields.nFan),
                          LowByte(fields.nFan >> 8),
                          LowByte(fields.nAcc),
                          0,
                          0};
        request.bTimed = false;
        break;
    }
    default:
        return; // ids of the range without a command
    }
    QueueSerialSend(std::move(send));
}

void CRelvaneView::SendIec103Request(const CIec103Request& request)
{
    std::uint8_t* pOut = m_txBuffer.data();
    CommandParams params;
    params.nFun = request.nFun;
    params.nInf = request.nInf;
    params.bConfirm = request.bConfirm ? 1 : 0;
    params.pData = request.abBytes.empty() ? request.abData.data() : request.abBytes.data();

    int nLength = 0;
    switch (request.nId)
    {
    case ID_103_CLASS1:
        nLength = m_iec103Codec.BuildRequestClass1(pOut);
        break;
    case ID_103_CLASS2:
        nLength = m_iec103Codec.BuildRequestClass2(pOut);
        break;
    case ID_103_RESET_CU:
        nLength = m_iec103Codec.BuildResetCu(pOut);
        break;
    case ID_103_RESET_FCB:
        nLength = m_iec103Codec.BuildResetFcb(pOut);
        break;
    case ID_103_LINK_STATUS:
        nLength = m_iec103Codec.BuildRequestLinkStatus(pOut);
        break;
    case ID_103_INTERROGATION:
        nLength = m_iec103Codec.BuildGeneralInterrogation(pOut, params);
        break;
    case ID_103_TIME_SYNC:
    {
        std::array<std::uint8_t, 8> abTime = request.abData;
        if (request.bClockNow)
        {
            int nMillisecond = 0;
            const CClockFields now = ClockNow(nMillisecond);
            abTime = TimeSyncData(now, nMillisecond);
        }
        params.pData = abTime.data();
        nLength = m_iec103Codec.BuildTimeSync(pOut, params);
        break;
    }
    case ID_103_GENERAL_COMMAND:
        nLength = m_iec103Codec.BuildGeneralCommand(pOut, params);
        break;
    case ID_103_GENERIC_COMMAND:
        nLength = m_iec103Codec.BuildGenericCommand(pOut, params);
        break;
    case ID_103_GENERIC_DATA:
        nLength = m_iec103Codec.BuildGenericData(pOut, params);
        break;
    case ID_103_CUSTOM_FRAME:
        nLength = static_cast<int>(std::min<std::size_t>(request.abBytes.size(), kTxBufferSize));
        std::copy_n(request.abBytes.begin(), nLength, m_txBuffer.begin());
        break;
    case ID_103_DISTURBANCE_ORDER:
        nLength = m_iec103Codec.BuildDisturbanceOrder(pOut, params);
        break;
    case ID_103_DISTURBANCE_ACK:
        nLength = m_iec103Codec.BuildDisturbanceAck(pOut, params);
        break;
    default:
        break;
    }
    if (nLength < 1)
        return;
    SendSerialFrame(nLength, request.bTimed);
}

void CRelvaneView::OnIec103Received(const CReceivedChunk& chunk)
{
    // Reads too short to be a frame are ignored, unless they are the single character E5H with
    // which a relay confirms or says it has no data (an answer like any other), or one other byte
    // (an answer damaged on the line, logged as garbled).
    if (chunk.bIgnored || chunk.pieces.empty())
        return;
    KillTimer(TIMER_RESPONSE);
    // Answers that met in one read are taken frame by frame, each as if it had come alone.
    CAutomaticStep step;
    for (const CScanPiece& piece : chunk.pieces)
        step.Merge(OnIec103Frame(piece.abBytes.data(), static_cast<int>(piece.abBytes.size())));
    TakeAutomaticStep(std::move(step), CHeldSend::FOLLOW_UP_103);
    if (m_pIec103Observer != nullptr)
        m_pIec103Observer->OnIec103Settled();
}

CAutomaticStep CRelvaneView::OnIec103Frame(const std::uint8_t* pFrame, int nLength)
{
    CAutomaticStep step;
    if (Iec103Codec::CheckSingleAck(pFrame, nLength) || Iec103Codec::CheckFrame(pFrame, nLength))
    {
        // A copy of the last answer that answers a request repeating a lost answer's FCB is the
        // relay's repetition: marked, so that its data are not counted twice.
        const bool bRepetition =
            pFrame[0] == kIec103VariableStart && m_iec103Codec.FcbRepeatSent() &&
            std::equal(pFrame, pFrame + nLength, m_abLast103Answer.begin(), m_abLast103Answer.end());
        m_abLast103Answer.assign(pFrame, pFrame + nLength);
        WriteEvent(LOG_RECEIVE);
        if (bRepetition)
            WriteRepeatedFrame(pFrame, nLength, m_bHex);
        else
            WriteFrame(pFrame, nLength, m_bHex);
        if (Iec103Codec::CheckAnswersFcb(pFrame, nLength))
            m_iec103Codec.ConfirmFcb();
        if (m_pIec103Observer != nullptr)
            m_pIec103Observer->OnIec103Frame(pFrame, nLength);
        if ((m_bAutoProcess || m_b103Polling) && Iec103Codec::CheckAutoAnswer(pFrame, nLength))
        {
            step.eKind = CAutomaticStep::FOLLOW_UP;
            step.abTrigger.assign(pFrame, pFrame + nLength);
        }
        else if (m_b103Polling)
            step.eKind = CAutomaticStep::POLL_TIMER;
        return step;
    }
    // A garbled answer, or bytes that form no frame (damaged framing included).
    WriteEvent(LOG_CHECKSUM_ERROR);
    WriteFrame(pFrame, nLength, m_bHex);
    // A garbled answer is as good as none: the relay is to repeat it.
    m_iec103Codec.RestoreFcb();
    if (m_pIec103Observer != nullptr)
        m_pIec103Observer->OnIec103Garbled();
    if (m_bAutoProcess)
        step.eKind = CAutomaticStep::POLL_TIMER;
    return step;
}

} // namespace relvane
