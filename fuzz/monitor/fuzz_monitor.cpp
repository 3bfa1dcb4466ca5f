// Arbitrary bytes as reads of a tapped line (a bus or one direction, either protocol), cut at
// points the input chooses: the cutter must keep every byte exactly once and in order, give every
// frame a direction, and the ordering must hand out every frame once, earliest first.
#include "monitor/MonitorFrame.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    if (nSize < 2)
        return 0;
    const int nProtocol = (pData[0] & 1) != 0 ? relvane::MONITOR_103 : relvane::MONITOR_94;
    const bool bBus = (pData[0] & 2) != 0;
    const int nLine = (pData[0] & 4) != 0 ? relvane::LINE_RELAY : relvane::LINE_MASTER;
    const std::size_t nCutEvery = 1 + pData[1] % 64;
    pData += 2;
    nSize -= 2;

    relvane::CMonitorCutter cutter(nProtocol, nLine,
                                   bBus ? relvane::DIRECTION_UNKNOWN
                                        : (nLine == relvane::LINE_MASTER ? relvane::DIRECTION_TO_RELAY
                                                                         : relvane::DIRECTION_TO_MASTER),
                                   87);
    relvane::CMonitorOrder order(1000, 200);
    std::vector<std::uint8_t> abHeard;
    std::int64_t nUs = 0;
    std::size_t nFrames = 0;
    std::int64_t nPreviousUs = 0;
    for (std::size_t nAt = 0; nAt < nSize + nCutEvery; nAt += nCutEvery)
    {
        std::vector<relvane::CMonitorFrame> frames;
        int nPieces = 0;
        if (nAt < nSize)
        {
            const std::size_t nRead = nSize - nAt < nCutEvery ? nSize - nAt : nCutEvery;
            nUs += 40000;
            nPieces =
                cutter.Cut(pData + nAt, static_cast<int>(nRead), relvane::CChannelTime{nUs, nUs}, frames);
        }
        else
            nPieces = cutter.Expire(nUs, true, frames); // the line fell quiet: nothing waits
        if (nPieces != static_cast<int>(frames.size()))
            std::abort();
        for (relvane::CMonitorFrame& frame : frames)
        {
            // A frame takes the time of the read that brought its first byte, timed back by the
            // characters after it in that read (so the first read's bytes may come before it
            // ended); a line's times never go back.
            const std::int64_t nEarliestUs = 40000 - static_cast<std::int64_t>(nCutEvery) * 87;
            if (frame.abBytes.empty() || frame.eDirection == relvane::DIRECTION_UNKNOWN ||
                frame.nLine != nLine || frame.time.nSteadyUs > nUs || frame.time.nSteadyUs < nEarliestUs ||
                frame.time.nSteadyUs < nPreviousUs || frame.lastByte.nSteadyUs < frame.time.nSteadyUs)
                std::abort();
            nPreviousUs = frame.time.nSteadyUs;
            abHeard.insert(abHeard.end(), frame.abBytes.begin(), frame.abBytes.end());
            order.Add(std::move(frame));
            ++nFrames;
        }
    }
    if (abHeard != std::vector<std::uint8_t>(pData, pData + nSize))
        std::abort();
    std::vector<relvane::CMonitorFrame> released;
    order.Release(nUs, false, released);
    order.Release(0, true, released);
    if (released.size() != nFrames || order.Waiting() != 0)
        std::abort();
    for (std::size_t i = 1; i < released.size(); ++i)
    {
        if (released[i].time.nSteadyUs < released[i - 1].time.nSteadyUs && !released[i].bTie)
            std::abort();
    }
    return 0;
}
