// The master's side of the disturbance transfer against the simulated relay's recorder, ASDU by
// ASDU, without a link: every order goes to the recorder and every ASDU it answers comes back.
#include "disturbance/DisturbanceTransfer.h"
#include "relay/DisturbanceRecorder.h"

#include <deque>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace relvane
{
namespace
{

constexpr std::uint8_t kAddress = 1;
constexpr std::uint8_t kFun = 128;

struct CRun
{
    CDisturbanceTransfer transfer;
    std::vector<std::string> orders; // "24/1", "25/66:3", ... as sent
};

// Runs a transfer of nFan against a recorder with the faults; with bTwice every ASDU of the relay
// arrives twice (a repeated answer).
CRun RunTransfer(std::uint16_t nFan, unsigned nFaults, bool bTwice)
{
    const CRelayTime faultTime{2026, 12, 8, 3, 15, 0, 500};
    CDisturbanceRecorder relay(kFun, faultTime);
    relay.SetTransferFaults(nFaults);
    CRun run;
    std::deque<CTransferOrder> orders = {run.transfer.Start(nFan, 255)};
    for (int nSteps = 0; !orders.empty() && nSteps < 1000; ++nSteps)
    {
        const CTransferOrder order = orders.front();
        orders.pop_front();
        run.orders.push_back(std::to_string(order.nAsdu) + "/" + std::to_string(order.nToo) +
                             (order.nAcc != 0 ? ":" + std::to_string(order.nAcc) : ""));
        const std::uint8_t abAsdu[] = {order.nAsdu, 0x81, 31, kAddress, order.nFun, 0, order.nToo, 1,
                                       static_cast<std::uint8_t>(order.nFan & 0xFF),
                                       static_cast<std::uint8_t>(order.nFan >> 8), order.nAcc};
        std::vector<CRelayBytes> answers;
        if (order.nAsdu == 24)
            relay.OnOrder(abAsdu, sizeof abAsdu, kAddress, answers);
        else
            relay.OnAcknowledgement(abAsdu, sizeof abAsdu, kAddress, answers);
        for (const CRelayBytes& abAnswer : answers)
        {
            for (int i = 0; i < (bTwice ? 2 : 1); ++i)
            {
                CTransferOrder next;
                if (run.transfer.OnAsdu(abAnswer.data(), static_cast<int>(abAnswer.size()), next))
                    orders.push_back(next);
            }
        }
    }
    return run;
}

TEST(DisturbanceTransfer, RunsToItsEndOrSaysWhyNot)
{
    struct CCase
    {
        const char* pszName;
        std::uint16_t nFan;
        unsigned nFaults;
        bool bTwice;
        CDisturbanceTransfer::State eState;
        const char* pszMessage; // part of Message(), or of the first note when done
    };
    const CCase cases[] = {
        {"clean", 2, 0, false, CDisturbanceTransfer::DONE, ""},
        {"every ASDU twice", 1, 0, true, CDisturbanceTransfer::DONE, ""},
        {"a lost block", 2, DISTURBANCE_FAULT_LOST, false, CDisturbanceTransfer::DONE, "缺少100个扰动值"},
        {"a lost block, answers twice", 2, DISTURBANCE_FAULT_LOST, true, CDisturbanceTransfer::DONE, "要求装置重传"},
        {"the relay aborts", 2, DISTURBANCE_FAULT_ABORT, false, CDisturbanceTransfer::FAILED, "(TOO 34)"},
        {"no such record", 9, 0, false, CDisturbanceTransfer::FAILED, "没有故障序号9"},
    };
    for (const CCase& c : cases)
    {
        SCOPED_TRACE(c.pszName);
        const CRun run = RunTransfer(c.nFan, c.nFaults, c.bTwice);
        const CDisturbanceTransfer& transfer = run.transfer;
        ASSERT_EQ(transfer.GetState(), c.eState) << transfer.Message();
        if (c.eState == CDisturbanceTransfer::FAILED)
        {
            EXPECT_NE(transfer.Message().find(c.pszMessage), std::string::npos) << transfer.Message();
            continue;
        }
        const std::string strNotes = transfer.Notes().empty() ? "" : transfer.Notes().front();
        EXPECT_NE(strNotes.find(c.pszMessage), std::string::npos) << strNotes;
        EXPECT_EQ(transfer.Notes().size(), *c.pszMessage != '\0' ? 1u : 0u);
        // The standard's sequence, each channel acknowledged once it is whole; the last order
        // acknowledges the whole record.
        EXPECT_EQ(run.orders.at(0), "24/24");
        EXPECT_EQ(run.orders.at(1), "24/1");
        EXPECT_EQ(run.orders.at(2), "24/2");
        EXPECT_EQ(run.orders.at(3), "24/16");
        EXPECT_EQ(run.orders.at(4), "25/68");
        EXPECT_EQ(run.orders.back(), "25/64");
        const bool bRepeat = (c.nFaults & DISTURBANCE_FAULT_LOST) != 0;
        EXPECT_EQ(run.orders.size(), 6u + 2 * CDisturbanceRecorder::kChannels + (bRepeat ? 2 : 0));

        const CDisturbanceRecord& record = transfer.Record();
        EXPECT_EQ(record.nFan, c.nFan);
        EXPECT_EQ(record.nFun, kFun);
        EXPECT_EQ(record.nElements, CDisturbanceRecorder::kElements);
        EXPECT_EQ(record.nIntervalUs, CDisturbanceRecorder::kIntervalUs);
        ASSERT_EQ(record.channels.size(), static_cast<std::size_t>(CDisturbanceRecorder::kChannels));
        for (int ch = 0; ch < CDisturbanceRecorder::kChannels; ++ch)
        {
            const CDisturbanceChannel& channel = record.channels[static_cast<std::size_t>(ch)];
            EXPECT_EQ(channel.nAcc, ch + 1);
            EXPECT_EQ(channel.fReferenceFactor, CDisturbanceRecorder::ReferenceFactor(ch));
            EXPECT_EQ(channel.fRatedPrimary, CDisturbanceRecorder::RatedPrimary(ch));
            EXPECT_EQ(channel.fRatedSecondary, CDisturbanceRecorder::RatedSecondary(ch));
            for (int s = 0; s < CDisturbanceRecorder::kElements; ++s)
                ASSERT_EQ(channel.values[static_cast<std::size_t>(s)], CDisturbanceRecorder::Sample(c.nFan, ch, s))
                    << "channel " << ch << " sample " << s;
        }
        EXPECT_EQ(record.tags.size(), 9u); // duplicates taken once
        // The record starts 200 samples (200 ms) before the fault of the list.
        const std::int64_t nBeforeUs = record.faultTime.ToMicroseconds() - record.startTime.ToMicroseconds();
        EXPECT_EQ(nBeforeUs, std::int64_t{CDisturbanceRecorder::kPrefaultSamples} * CDisturbanceRecorder::kIntervalUs);
    }
}

TEST(DisturbanceTransfer, StrayAndShortAsdusChangeNothing)
{
    CDisturbanceTransfer transfer;
    transfer.Start(2, 255);
    CTransferOrder next;
    // Another cause, a list cut short, values before any channel, an end for another fault.
    const std::vector<std::vector<std::uint8_t>> stray = {
        {23, 1, 1, 1, 128, 0, 2, 0, 1, 0, 0, 0, 0, 8, 12, 26},
        {30, 0x81, 31, 1, 128, 0, 0, 1, 2, 0, 1, 1, 0, 0, 5, 0},
        {31, 0x81, 31, 1, 128, 0, 35, 1, 7, 0, 1},
        {27, 0x81, 31},
        {},
    };
    for (const auto& ab : stray)
        EXPECT_FALSE(transfer.OnAsdu(ab.data(), static_cast<int>(ab.size()), next));
    EXPECT_EQ(transfer.GetState(), CDisturbanceTransfer::LISTING);
    // A list that does not hold the record ends the transfer.
    const std::vector<std::uint8_t> abList = {23, 1, 31, 1, 128, 0, 1, 0, 1, 0, 0, 0, 0, 8, 12, 26};
    EXPECT_FALSE(transfer.OnAsdu(abList.data(), static_cast<int>(abList.size()), next));
    EXPECT_EQ(transfer.GetState(), CDisturbanceTransfer::FAILED);
    ASSERT_EQ(transfer.List().size(), 1u);
    EXPECT_EQ(transfer.List()[0].time.nYear, 2026);
    EXPECT_EQ(transfer.List()[0].time.nMonth, 12);
}

TEST(RecordTime, CalendarAndMicrosecondsAgree)
{
    const CRecordTime times[] = {
        {1970, 1, 1, 0, 0, 0, 0}, {2024, 2, 29, 23, 59, 59, 999999}, {2000, 3, 1, 0, 0, 0, 1}, {2099, 12, 31, 12, 0, 0, 0}};
    for (const CRecordTime& time : times)
    {
        const CRecordTime back = CRecordTime::FromMicroseconds(time.ToMicroseconds());
        EXPECT_EQ(back.nYear * 10000 + back.nMonth * 100 + back.nDay, time.nYear * 10000 + time.nMonth * 100 + time.nDay);
        EXPECT_EQ(back.nHour * 3600 + back.nMinute * 60 + back.nSecond, time.nHour * 3600 + time.nMinute * 60 + time.nSecond);
        EXPECT_EQ(back.nMicrosecond, time.nMicrosecond);
    }
    EXPECT_EQ((CRecordTime{2026, 12, 8, 0, 0, 0, 0}).ToMicroseconds(), 1796688000LL * 1000000);
}

} // namespace
} // namespace relvane
