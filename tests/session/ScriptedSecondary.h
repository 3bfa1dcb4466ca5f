#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace relvane::test
{

// A small FT1.2 secondary station (IEC 60870-5-2, unbalanced, link address 1) on the master side
// of a pseudo-terminal, written apart from the product's codec. It holds numbered class 1 events
// and answers as the standard asks: a request with FCV = 1 whose FCB is unchanged gets the last
// answer again; an event leaves the queue only when the next request with a toggled FCB shows
// that its answer arrived; ACD is set while class 1 data wait. Event n goes out as ASDU 1 with
// information number n.
//
// Faults for the test, each taken once: the first answer carrying a given event is lost or
// garbled on the line, and the answer to the first link-status request is held back and written
// together with the next answer in one piece.
class CScriptedSecondary
{
public:
    CScriptedSecondary(int nMasterFd, int nEvents);
    ~CScriptedSecondary();
    CScriptedSecondary(const CScriptedSecondary&) = delete;
    CScriptedSecondary& operator=(const CScriptedSecondary&) = delete;

    void LoseAnswerWithEvent(int nEvent) { m_nLoseEvent = nEvent; }
    void GarbleAnswerWithEvent(int nEvent) { m_nGarbleEvent = nEvent; }
    void HoldBackLinkStatusAnswer() { m_bHoldLinkStatus = true; }

    void Start();
    void Stop();
    int Requests() const { return m_nRequests.load(); }
    int EventsLeft() const;

private:
    using Bytes = std::vector<std::uint8_t>;

    void Run();
    // Takes complete frames off the front of the input; false when more bytes are needed.
    bool TakeFrame(Bytes& abFrame);
    void OnRequest(const Bytes& abFrame);
    // Under m_mutex, as every use of the queue on the station's thread.
    Bytes Answer(std::uint8_t nFunction) const;
    Bytes Fixed(std::uint8_t nFunction) const;
    Bytes EventFrame(int nEvent) const;
    void WriteAll(const Bytes& abBytes) const;

    int m_nFd;
    std::thread m_thread;
    std::atomic<bool> m_bRun{false};
    std::atomic<int> m_nRequests{0};
    mutable std::mutex m_mutex;
    std::deque<int> m_events;
    Bytes m_abInput;

    int m_nLastFcb = -1;    // FCB of the last FCV request, -1 after a reset
    Bytes m_abLastAnswer;   // answer to that request
    int m_nUnconfirmed = 0; // event carried by that answer, 0 for none
    Bytes m_abHeld;         // an answer held back, written with the next one
    int m_nLoseEvent = 0;
    int m_nGarbleEvent = 0;
    bool m_bHoldLinkStatus = false;
};

} // namespace relvane::test
