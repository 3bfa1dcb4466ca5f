// Cost of the capture to disk per log entry: a received '94 event report as the session records it
// (the entry's prefix, its frame and the chunk on the line), with the capture off and on.
//
//   bench_capture [entries] [directory]

#include "proto94/Crc16.h"
#include "session/LogEvent.h"
#include "session/SessionCommands.h"
#include "session/SessionRecorder.h"

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int nEntries = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    const std::filesystem::path dir = argc > 2 ? argv[2] : std::filesystem::temp_directory_path();

    std::vector<std::uint8_t> abFrame = {0x01, 0xB0, 0x0C, 0x01, 0x04, 0x20, 0x03, 0x15,
                                         0x08, 0x30, 0x45, 0x00, 0x00, 0x07, 0x01};
    const std::uint16_t nCrc = relvane::Crc16Arc(abFrame.data(), abFrame.size());
    abFrame.push_back(static_cast<std::uint8_t>(nCrc & 0xFF));
    abFrame.push_back(static_cast<std::uint8_t>(nCrc >> 8));
    const int nLength = static_cast<int>(abFrame.size());

    for (const bool bCapture : {false, true})
    {
        relvane::CSessionRecorder recorder;
        const std::string strBase = (dir / "bench-capture").string();
        std::string strError;
        if (bCapture && !recorder.StartCapture(strBase, strError))
        {
            std::fprintf(stderr, "bench_capture: %s\n", strError.c_str());
            return 1;
        }
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < nEntries; ++i)
        {
            const relvane::CChannelTime time = relvane::CChannelTime::Now();
            recorder.OnSerialChunk(relvane::MODE_94, abFrame.data(), nLength, time);
            recorder.OnLogEvent(relvane::LOG_RECEIVE, "接收: ", time);
            recorder.OnLogFrame(relvane::MODE_94, abFrame.data(), nLength, 1, "\r\n (\n事件报告) \r\n");
        }
        const double dSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const std::string strStatus = recorder.CaptureStatus();
        recorder.StopCapture();
        std::printf("capture %-3s %d entries in %.3f s: %.1f us per entry%s%s\n", bCapture ? "on" : "off",
                    nEntries, dSeconds, dSeconds * 1e6 / nEntries, bCapture ? ", " : "", strStatus.c_str());
        if (bCapture)
        {
            std::filesystem::remove(strBase + ".txt");
            std::filesystem::remove(strBase + ".pcapng");
        }
    }
    return 0;
}
