#include "PacedRelay.h"

#include "common/FrameScanner.h"
#include "iec103/Iec103FrameScan.h"

#include <cerrno>
#include <memory>
#include <poll.h>
#include <unistd.h>

namespace relvane::test
{
namespace
{

// Longer than any request takes to come whole on the lines the tests play.
constexpr std::int64_t kRequestQuietUs = 100000;
constexpr int kPollMs = 20;

} // namespace

CPacedRelay::CPacedRelay(int nFd, int nBaud, std::int64_t nTurnaroundUs, AnswerFunction fnAnswer, CPacedTap tap)
    : m_nFd(nFd), m_line(nBaud, 'N', nTurnaroundUs, 0), m_fnAnswer(std::move(fnAnswer)), m_tap(tap)
{
    m_thread = std::thread([this] { Run(); });
}

CPacedRelay::~CPacedRelay()
{
    m_bStop = true;
    m_thread.join();
}

std::vector<CPacedFrame> CPacedRelay::Answers() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_answers;
}

void CPacedRelay::Run()
{
    CFrameScanner scanner(ScanIec103Frame, kRequestQuietUs);
    std::uint8_t abBuffer[512];
    while (!m_bStop)
    {
        pollfd in{m_nFd, POLLIN, 0};
        if (poll(&in, 1, kPollMs) <= 0)
            continue;
        const ssize_t nRead = read(m_nFd, abBuffer, sizeof abBuffer);
        if (nRead <= 0)
            continue;
        const std::int64_t nReadUs = SteadyNowUs();
        if (m_tap.nRequestFd >= 0)
            WriteAll(m_tap.nRequestFd, std::vector<std::uint8_t>(abBuffer, abBuffer + nRead));
        std::vector<CScanPiece> pieces;
        scanner.Feed(abBuffer, static_cast<int>(nRead), CScanTime{nReadUs, nReadUs, 0}, pieces);
        for (const CScanPiece& piece : pieces)
        {
            if (!piece.bValid)
                continue;
            CPacedFrame answer;
            answer.bFromRelay = true;
            answer.abBytes = m_fnAnswer(piece.abBytes);
            if (answer.abBytes.empty())
                continue;
            // The request took its characters on the line before the read saw its end.
            m_line.Answer(answer.abBytes, {m_nFd, m_tap.nAnswerFd}, nReadUs, answer.nFirstByteUs,
                          answer.nFirstByteWallUs);
            std::lock_guard<std::mutex> lock(m_mutex);
            m_answers.push_back(std::move(answer));
            ++m_nAnswered;
        }
    }
}

CPacedRelay::AnswerFunction PollingAnswers103(int nNoiseEvery)
{
    const std::vector<CPacedFrame> pattern = BackToBackPolling103(6);
    auto pnAnswer = std::make_shared<int>(0);
    return [pattern, pnAnswer, nNoiseEvery](const std::vector<std::uint8_t>&)
    {
        const int nAnswer = (*pnAnswer)++;
        std::vector<std::uint8_t> abAnswer = pattern[static_cast<std::size_t>(2 * (nAnswer % 3) + 1)].abBytes;
        if (nNoiseEvery > 0 && nAnswer % nNoiseEvery == nNoiseEvery - 1)
            abAnswer.insert(abAnswer.begin(), 0xFF);
        return abAnswer;
    };
}

} // namespace relvane::test
