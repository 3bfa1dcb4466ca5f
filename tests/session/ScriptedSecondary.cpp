#include "ScriptedSecondary.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace relvane::test
{
namespace
{

constexpr std::uint8_t kAddress = 1;
constexpr std::uint8_t kAcd = 0x20;
constexpr std::uint8_t kFcb = 0x20;
constexpr std::uint8_t kFcv = 0x10;

std::uint8_t Sum(const std::vector<std::uint8_t>& abBytes, std::size_t nFrom, std::size_t nTo)
{
    unsigned nSum = 0;
    for (std::size_t i = nFrom; i < nTo; ++i)
        nSum += abBytes[i];
    return static_cast<std::uint8_t>(nSum);
}

} // namespace

CScriptedSecondary::CScriptedSecondary(int nMasterFd, int nEvents) : m_nFd(nMasterFd)
{
    for (int n = 1; n <= nEvents; ++n)
        m_events.push_back(n);
}

CScriptedSecondary::~CScriptedSecondary()
{
    Stop();
}

void CScriptedSecondary::Start()
{
    m_bRun = true;
    m_thread = std::thread(&CScriptedSecondary::Run, this);
}

void CScriptedSecondary::Stop()
{
    m_bRun = false;
    if (m_thread.joinable())
        m_thread.join();
}

int CScriptedSecondary::EventsLeft() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_events.size());
}

void CScriptedSecondary::Run()
{
    while (m_bRun)
    {
        pollfd in{m_nFd, POLLIN, 0};
        if (poll(&in, 1, 20) <= 0 || (in.revents & POLLIN) == 0)
            continue;
        std::uint8_t abBuffer[256];
        const ssize_t nRead = read(m_nFd, abBuffer, sizeof abBuffer);
        if (nRead <= 0)
            continue;
        m_abInput.insert(m_abInput.end(), abBuffer, abBuffer + nRead);
        Bytes abFrame;
        while (TakeFrame(abFrame))
            OnRequest(abFrame);
    }
}

bool CScriptedSecondary::TakeFrame(Bytes& abFrame)
{
    // The master writes whole frames; anything unexpected at the front is skipped.
    while (!m_abInput.empty() && m_abInput[0] != 0x10 && m_abInput[0] != 0x68)
        m_abInput.erase(m_abInput.begin());
    if (m_abInput.empty())
        return false;
    const std::size_t nLength = m_abInput[0] == 0x10 ? 5 : (m_abInput.size() >= 2 ? m_abInput[1] + 6u : 0u);
    if (nLength == 0 || m_abInput.size() < nLength)
        return false;
    abFrame.assign(m_abInput.begin(), m_abInput.begin() + static_cast<std::ptrdiff_t>(nLength));
    m_abInput.erase(m_abInput.begin(), m_abInput.begin() + static_cast<std::ptrdiff_t>(nLength));
    return true;
}

void CScriptedSecondary::OnRequest(const Bytes& abFrame)
{
    ++m_nRequests;
    std::lock_guard lock(m_mutex);
    const std::uint8_t nControl = abFrame[0] == 0x10 ? abFrame[1] : abFrame[4];
    const std::uint8_t nFunction = nControl & 0x0F;
    Bytes abAnswer;
    int nCarried = 0;
    if ((nControl & kFcv) != 0)
    {
        const int nFcb = (nControl & kFcb) != 0 ? 1 : 0;
        if (nFcb == m_nLastFcb)
        {
            abAnswer = m_abLastAnswer; // the master lost it: the same again
            nCarried = m_nUnconfirmed;
        }
        else
        {
            // A toggled FCB: the last answer arrived, its event is delivered.
            if (m_nUnconfirmed != 0 && !m_events.empty() && m_events.front() == m_nUnconfirmed)
                m_events.pop_front();
            m_nLastFcb = nFcb;
            m_nUnconfirmed = 0;
            if (nFunction == 10 && !m_events.empty())
            {
                m_nUnconfirmed = m_events.front();
                abAnswer = EventFrame(m_nUnconfirmed);
            }
            else
                abAnswer = Answer(nFunction == 3 ? 0 : 9); // acknowledgement, or no data
            nCarried = m_nUnconfirmed;
            m_abLastAnswer = abAnswer;
        }
    }
    else if (nFunction == 0 || nFunction == 7)
    {
        m_nLastFcb = -1; // reset: the next FCV request counts as new
        abAnswer = Answer(0);
    }
    else if (nFunction == 9)
        abAnswer = Answer(11);
    if (abAnswer.empty())
        return; // send / no reply

    if (nCarried != 0 && nCarried == m_nLoseEvent)
    {
        m_nLoseEvent = 0;
        return;
    }
    if (nCarried != 0 && nCarried == m_nGarbleEvent)
    {
        m_nGarbleEvent = 0;
        Bytes abGarbled = abAnswer;
        abGarbled[abGarbled.size() - 3] ^= 0x01;
        WriteAll(abGarbled);
        return;
    }
    if (nFunction == 9 && (nControl & kFcv) == 0 && m_bHoldLinkStatus)
    {
        m_bHoldLinkStatus = false;
        m_abHeld = abAnswer;
        return;
    }
    Bytes abOut = std::move(m_abHeld);
    m_abHeld.clear();
    abOut.insert(abOut.end(), abAnswer.begin(), abAnswer.end());
    WriteAll(abOut);
}

CScriptedSecondary::Bytes CScriptedSecondary::Answer(std::uint8_t nFunction) const
{
    // ACD while class 1 data wait beyond the one already on its way.
    const std::size_t nWaiting = m_events.size() - (m_nUnconfirmed != 0 ? 1 : 0);
    return Fixed(static_cast<std::uint8_t>(nFunction | (nWaiting > 0 ? kAcd : 0)));
}

CScriptedSecondary::Bytes CScriptedSecondary::Fixed(std::uint8_t nControl) const
{
    return {0x10, nControl, kAddress, static_cast<std::uint8_t>(nControl + kAddress), 0x16};
}

CScriptedSecondary::Bytes CScriptedSecondary::EventFrame(int nEvent) const
{
    // ASDU 1, spontaneous, FUN 160, INF = the event's number, DPI on, four time bytes, SIN 0.
    const bool bMore = m_events.size() > 1;
    Bytes abFrame = {0x68,
                     0,
                     0,
                     0x68,
                     static_cast<std::uint8_t>(0x08 | (bMore ? kAcd : 0)),
                     kAddress,
                     0x01,
                     0x81,
                     0x01,
                     kAddress,
                     0xA0,
                     static_cast<std::uint8_t>(nEvent),
                     0x02,
                     0x00,
                     0x00,
                     0x00,
                     0x00,
                     0x00};
    const auto nL = static_cast<std::uint8_t>(abFrame.size() - 4);
    abFrame[1] = nL;
    abFrame[2] = nL;
    abFrame.push_back(Sum(abFrame, 4, abFrame.size()));
    abFrame.push_back(0x16);
    return abFrame;
}

void CScriptedSecondary::WriteAll(const Bytes& abBytes) const
{
    std::size_t nDone = 0;
    while (nDone < abBytes.size())
    {
        const ssize_t n = write(m_nFd, abBytes.data() + nDone, abBytes.size() - nDone);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        nDone += static_cast<std::size_t>(n);
    }
}

} // namespace relvane::test
