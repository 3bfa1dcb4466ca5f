// CRelvaneView: one request at a time on the serial line.
//
// An unbalanced link allows one request awaiting its answer. While the response timer runs,
// commands, polls and follow-ups wait here in the order they fell due, and go out once the
// answer has been handled or the time-out logged. A poll or follow-up still waiting when a newer
// one falls due is replaced by it (a poll never replaces a follow-up), and a waiting poll also by
// the polling timer an answer starts, so one answer never gets two.
#include "session/IUserInterface.h"
#include "session/RelvaneView.h"

#include <algorithm>
#include <cstdio>

namespace relvane
{
namespace
{

constexpr const char* kHeldHintFormat = "等待装置应答,%d条命令待发送";

// A 103 command the relay is to carry out (send / confirm), as opposed to a request for data.
bool CarriesNewCommand(const CIec103Request& request)
{
    switch (request.nId)
    {
    case ID_103_INTERROGATION:
    case ID_103_GENERIC_COMMAND:
    case ID_103_GENERIC_DATA:
    case ID_103_DISTURBANCE_ORDER:
    case ID_103_DISTURBANCE_ACK:
        return true;
    case ID_103_TIME_SYNC:
    case ID_103_GENERAL_COMMAND:
        return request.bConfirm;
    default:
        return false;
    }
}

} // namespace

void CRelvaneView::QueueSerialSend(CHeldSend send)
{
    if (send.bAutomatic)
    {
        // A poll gives way to a follow-up still waiting: the follow-up's answer schedules the
        // next poll.
        const bool bPoll = send.eKind == CHeldSend::COMMAND_94 || send.eKind == CHeldSend::COMMAND_103;
        const bool bFollowUpWaits = std::any_of(m_heldSends.begin(), m_heldSends.end(),
                                                [](const CHeldSend& held) {
                                                    return held.eKind == CHeldSend::FOLLOW_UP_94 ||
                                                           held.eKind == CHeldSend::FOLLOW_UP_103;
                                                });
        if (bPoll && bFollowUpWaits)
        {
            SendHeldSends();
            return;
        }
        DropAutomaticSend();
    }
    m_heldSends.push_back(std::move(send));
    SendHeldSends();
}

void CRelvaneView::QueueIec103Request(const CIec103Request& request)
{
    CHeldSend send;
    send.eKind = CHeldSend::COMMAND_103;
    send.request = request;
    QueueSerialSend(std::move(send));
}

bool CRelvaneView::SerialLinkIdle() const
{
    return m_heldSends.empty() && !IsTimerActive(TIMER_RESPONSE) && !IsTimerActive(TIMER_POLL);
}

void CRelvaneView::SendHeldSends()
{
    while (!m_heldSends.empty() && !IsTimerActive(TIMER_RESPONSE))
    {
        CHeldSend& next = m_heldSends.front();
        if (next.eKind == CHeldSend::COMMAND_103 && !next.bRecoveryTried && CarriesNewCommand(next.request) &&
            m_iec103Codec.FcbRepeatDue())
        {
            // A command sent with the FCB of a lost answer would be taken for its repetition and
            // not carried out: a class 2 request fetches the lost answer first (once).
            next.bRecoveryTried = true;
            CIec103Request recovery;
            recovery.nId = ID_103_CLASS2;
            SendIec103Request(recovery);
            continue;
        }
        // Taken off first: a send may open a message box, whose event loop can come back here.
        const CHeldSend send = std::move(m_heldSends.front());
        m_heldSends.pop_front();
        DispatchSend(send);
    }
    UpdateHeldHint();
}

void CRelvaneView::DropAutomaticSend()
{
    std::erase_if(m_heldSends, [](const CHeldSend& send) { return send.bAutomatic; });
}

void CRelvaneView::DropHeldPoll()
{
    std::erase_if(m_heldSends,
                  [](const CHeldSend& send) {
                      return send.bAutomatic &&
                             (send.eKind == CHeldSend::COMMAND_94 || send.eKind == CHeldSend::COMMAND_103);
                  });
}

void CRelvaneView::StopProto94Polling()
{
    m_b94Polling = false;
    m_b94PollStopped = true;
    if (m_nMode == MODE_94)
    {
        KillTimer(TIMER_POLL);
        DropHeldPoll();
        UpdateHeldHint();
    }
    emit StateChanged();
}

void CRelvaneView::DispatchSend(const CHeldSend& send)
{
    // Only the user's own command is worth a message when it cannot go out.
    m_bUserSend = !send.bAutomatic;
    struct CEndOfSend
    {
        bool& bUserSend;
        ~CEndOfSend() { bUserSend = false; }
    } endOfSend{m_bUserSend};
    switch (send.eKind)
    {
    case CHeldSend::COMMAND_94:
        SendProto94Command(send.nId, send.clock);
        break;
    case CHeldSend::COMMAND_103:
        SendIec103Request(send.request);
        break;
    case CHeldSend::FOLLOW_UP_94:
    {
        const int nLength = m_proto94Codec.BuildAutoAnswer(m_txBuffer.data(), send.abTrigger.data(),
                                                           static_cast<int>(send.abTrigger.size()));
        if (nLength > 0)
            SendSerialFrame(nLength, true);
        break;
    }
    case CHeldSend::FOLLOW_UP_103:
    {
        const int nLength = m_iec103Codec.AutoAnswer(m_txBuffer.data(), send.abTrigger.data(),
                                                     static_cast<int>(send.abTrigger.size()));
        if (nLength > 0)
            SendSerialFrame(nLength, true);
        break;
    }
    }
}

int CRelvaneView::HeldCommandCount() const
{
    return static_cast<int>(std::count_if(m_heldSends.begin(), m_heldSends.end(),
                                          [](const CHeldSend& send) { return !send.bAutomatic; }));
}

void CRelvaneView::UpdateHeldHint()
{
    const int nCount = HeldCommandCount();
    if (nCount == m_nHeldHintCount)
        return;
    m_nHeldHintCount = nCount;
    if (nCount == 0)
    {
        m_ui.ShowStatusHint(std::string());
        return;
    }
    char szText[96];
    std::snprintf(szText, sizeof(szText), kHeldHintFormat, nCount);
    m_ui.ShowStatusHint(szText);
}

void CRelvaneView::TakeAutomaticStep(CAutomaticStep step, CHeldSend::Kind eFollowUp)
{
    switch (step.eKind)
    {
    case CAutomaticStep::FOLLOW_UP:
    {
        CHeldSend send;
        send.eKind = eFollowUp;
        send.bAutomatic = true;
        send.abTrigger = std::move(step.abTrigger);
        QueueSerialSend(std::move(send));
        return;
    }
    case CAutomaticStep::POLL_TIMER:
        if (m_nMode == MODE_94)
        {
            if (m_b94PollStopped)
                break;
            m_b94Polling = true;
        }
        // The poll this answer schedules replaces one that fell due while it was awaited; a
        // follow-up still waiting keeps its place.
        DropHeldPoll();
        StartTimer(TIMER_POLL, m_nPollIntervalMs);
        break;
    case CAutomaticStep::NONE:
        break;
    }
    SendHeldSends();
}

} // namespace relvane
