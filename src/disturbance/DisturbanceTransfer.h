#pragma once

#include "disturbance/DisturbanceRecord.h"

#include <cstdint>
#include <string>
#include <vector>

namespace relvane
{

// One order of the master: ASDU 24 (order) or ASDU 25 (acknowledgement) with its TOO, FAN and ACC.
struct CTransferOrder
{
    std::uint8_t nAsdu = 24;
    std::uint8_t nToo = 0;
    std::uint8_t nFun = 0;
    std::uint16_t nFan = 0;
    std::uint8_t nAcc = 0;
};

// The master's side of one disturbance transfer, without any input or output: it reads the
// relay's ASDUs 23 and 26 to 31 and says which order comes next, until the record is complete or
// the transfer ended. Everything the relay sends is checked against the transfer's state, so a
// repeated or stray ASDU changes nothing, and a channel with a gap in its values is asked for
// again (negative acknowledgement) instead of being taken with a hole.
//
//   list (24/24) -> ASDU 23 -> select FAN (24/1) -> ASDU 26 -> request data (24/2)
//   -> ASDU 28 -> request tags (24/16) -> ASDU 29..., 31/38 -> tags received (25/68)
//   -> for each channel: ASDU 27 -> request channel (24/8) -> ASDU 30..., 31/35
//                        -> channel received (25/66), or incomplete (25/67: sent again)
//   -> ASDU 31/32 -> data received (25/64): done
//
// A relay may also go straight from ASDU 26 or the data request to ASDU 27 (no tags).
class CDisturbanceTransfer
{
public:
    enum State
    {
        IDLE,
        LISTING,       // the list was asked for
        SELECTING,     // the fault was selected
        REQUESTING,    // the data were asked for
        TAGS,          // the tags were asked for
        CHANNEL_READY, // waiting for a channel's ASDU 27 (or the end of the data)
        CHANNEL,       // a channel's values are coming
        DONE,
        FAILED,
    };

    // Transfers of one channel that may end with a gap before the transfer is given up.
    static constexpr int kMaxChannelRepeats = 2;

    // Starts a transfer: only the list (nFan = 0), or the list and then the record of nFan.
    // Returns the first order (the list request); nFun is the relay's function type, used until
    // the list names the relay's own.
    CTransferOrder Start(std::uint16_t nFan, std::uint8_t nFun);
    // Reads one ASDU from the relay (the bytes from the type identification on). Returns true
    // with `next` set when an order is due now.
    bool OnAsdu(const std::uint8_t* pAsdu, int nLength, CTransferOrder& next);
    // Gives up (the user or the link): the order that tells the relay, if one is due.
    bool Abort(const std::string& strReason, CTransferOrder& next);

    State GetState() const { return m_eState; }
    bool Active() const { return m_eState != IDLE && m_eState != DONE && m_eState != FAILED; }
    // Why the transfer failed, or what it noticed on its way (repeated channels).
    const std::string& Message() const { return m_strMessage; }
    const std::vector<std::string>& Notes() const { return m_notes; }
    const std::vector<CDisturbanceListEntry>& List() const { return m_list; }
    const CDisturbanceRecord& Record() const { return m_record; }
    // The order last asked for (for a repetition when the relay never answered it).
    const CTransferOrder& LastOrder() const { return m_lastOrder; }

    // Progress: channels finished, the channel being received (1-based, 0 before the first),
    // values received in it, and the whole counts from ASDU 26.
    int ChannelsDone() const { return m_nChannelsDone; }
    int ChannelCount() const { return m_nChannelCount; }
    int ValuesReceived() const { return m_nReceived; }
    int ElementCount() const { return m_record.nElements; }
    int BlocksReceived() const { return m_nBlocks; }
    // Counts every ASDU the transfer took and every step it made: a watchdog's sign of life.
    int Accepted() const { return m_nAccepted; }

private:
    bool OnList(const std::uint8_t* a, int n, CTransferOrder& next);
    bool OnReady(const std::uint8_t* a, int n, CTransferOrder& next);
    bool OnChannelReady(const std::uint8_t* a, int n, CTransferOrder& next);
    bool OnTagsReady(const std::uint8_t* a, int n, CTransferOrder& next);
    bool OnTags(const std::uint8_t* a, int n);
    bool OnValues(const std::uint8_t* a, int n);
    bool OnEnd(const std::uint8_t* a, int n, CTransferOrder& next);
    bool Order(std::uint8_t nAsdu, std::uint8_t nToo, std::uint8_t nAcc, CTransferOrder& next);
    bool Fail(const std::string& strMessage);

    State m_eState = IDLE;
    std::uint16_t m_nWanted = 0;
    std::uint8_t m_nFun = 0;
    std::string m_strMessage;
    std::vector<std::string> m_notes;
    std::vector<CDisturbanceListEntry> m_list;
    CDisturbanceRecord m_record;
    CTransferOrder m_lastOrder;
    int m_nChannelCount = 0;
    int m_nChannelsDone = 0;
    int m_nCurrent = -1;                 // index in m_record.channels of the channel being received
    std::vector<std::uint8_t> m_abHave;  // per value of that channel: received
    std::vector<std::uint8_t> m_abComplete; // per entry of m_record.channels: all values in
    int m_nReceived = 0;
    int m_nBlocks = 0;
    int m_nRepeats = 0; // repetitions asked for the current channel
    int m_nAccepted = 0;
};

} // namespace relvane
