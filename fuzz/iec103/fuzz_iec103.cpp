// Arbitrary bytes as a received 103 chunk and as typed frame text: the annotation, its full
// explanation, the checksum test, the automatic answer, the frame scanner, the frame-text parser and
// the checksum completion must never read past the input, and what they produce must keep its own
// rules.
#include "common/AnnotationText.h"
#include "iec103/FrameText.h"
#include "iec103/FullExplanation.h"
#include "common/FrameScanner.h"
#include "iec103/Iec103Codec.h"
#include "iec103/Iec103FrameScan.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace
{

void CheckCompleted(const relvane::CCompletedFrame& completed, const std::vector<std::uint8_t>& abTyped)
{
    if (!completed.IsFrame())
    {
        if (!completed.abFrame.empty())
            std::abort();
        return;
    }
    const auto& f = completed.abFrame;
    if (abTyped.empty() || f.size() < 5 || f.back() != 0x16 || f[0] != abTyped[0])
        std::abort();
    if (f[0] == 0x10 && (f.size() != 5 || f[3] != static_cast<std::uint8_t>(f[1] + f[2])))
        std::abort();
    if (f[0] == 0x68 && (f.size() != static_cast<std::size_t>(f[1]) + 6 ||
                         !relvane::Iec103Codec::CheckFrame(f.data(), static_cast<int>(f.size()))))
        std::abort();
}

// The chunk read at once, cut by the scanner.
std::vector<relvane::CScanPiece> Scan(const std::vector<std::uint8_t>& abChunk)
{
    relvane::CFrameScanner scanner(relvane::ScanIec103Frame, 1000);
    std::vector<relvane::CScanPiece> pieces;
    scanner.Feed(abChunk.data(), static_cast<int>(abChunk.size()), relvane::CScanTime{}, pieces);
    scanner.Flush(pieces);
    return pieces;
}

// The pieces cover the chunk front to back without gaps, and every frame has its start and end
// characters where they belong.
void CheckPieces(const std::vector<std::uint8_t>& abChunk)
{
    std::vector<std::uint8_t> abJoined;
    for (const relvane::CScanPiece& piece : Scan(abChunk))
    {
        const int nLength = static_cast<int>(piece.abBytes.size());
        if (nLength < 1)
            std::abort();
        const std::uint8_t* p = piece.abBytes.data();
        const bool bAck = nLength == 1 && p[0] == 0xE5;
        const bool bFixed = nLength == 5 && p[0] == 0x10 && p[4] == 0x16;
        const bool bVariable =
            nLength >= 6 && p[0] == 0x68 && p[3] == 0x68 && p[1] == p[2] && nLength == p[1] + 6 && p[nLength - 1] == 0x16;
        if (piece.bFrame && !bAck && !bFixed && !bVariable)
            std::abort();
        abJoined.insert(abJoined.end(), piece.abBytes.begin(), piece.abBytes.end());
    }
    if (abJoined != abChunk)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    if (nSize > 4096)
        return 0;
    // An exact-size heap copy so that AddressSanitizer catches a read one byte past the chunk.
    const std::vector<std::uint8_t> abChunk(pData, pData + nSize);
    const std::uint8_t* pChunk = abChunk.empty() ? nullptr : abChunk.data();
    const int nCount = static_cast<int>(nSize);

    relvane::CAnnotationText text;
    const int nResult = relvane::Iec103Codec::Annotate(pChunk, nCount, text);
    // Frames of more than 8 bytes are annotated, and the lone E5H single-character answer.
    const bool bAnnotated = nSize > 8 || relvane::Iec103Codec::CheckSingleAck(pChunk, nCount);
    if ((nResult > 0) != bAnnotated || (nResult <= 0 && !text.IsEmpty()))
        std::abort();
    if (relvane::GbkLength(text.Text()) > relvane::CAnnotationText::kMaxGbkBytes)
        std::abort();

    // The full explanation reads only inside the chunk and the frame's own length, keeps its bound,
    // and has nothing to say about anything but a variable frame with an ASDU header.
    relvane::CAnnotationText full;
    const bool bExplained = relvane::AppendFullExplanation(pChunk, nCount, full);
    if (bExplained == full.IsEmpty() ||
        relvane::GbkLength(full.Text()) > relvane::CAnnotationText::kMaxGbkBytes)
        std::abort();
    if (bExplained && (nSize < 11 || pChunk[0] != 0x68 || pChunk[1] < 7))
        std::abort();

    CheckPieces(abChunk);

    const bool bValid = relvane::Iec103Codec::CheckFrame(pChunk, nCount);
    if (bValid && nSize < 5)
        std::abort();
    // The scanner and the check agree on framing: a valid chunk is one whole good frame.
    if (bValid)
    {
        const auto pieces = Scan(abChunk);
        if (pieces.size() != 1 || !pieces[0].bValid || pieces[0].abBytes.size() != nSize)
            std::abort();
    }

    relvane::Iec103Codec codec;
    std::uint8_t abOut[relvane::Iec103Codec::kMaxFrameLength] = {};
    const int nAnswer = codec.AutoAnswer(abOut, pChunk, nCount);
    if (nAnswer != -1 && (nAnswer != 5 || !relvane::Iec103Codec::CheckFrame(abOut, 5)))
        std::abort();

    const std::string_view strText(reinterpret_cast<const char*>(pChunk), nSize);
    for (const bool bHex : {false, true})
    {
        const auto abTyped = relvane::ParseFrameText(strText, bHex, 261);
        if (abTyped.size() > 261)
            std::abort();
        CheckCompleted(relvane::CompleteFrame(abTyped), abTyped);
    }
    CheckCompleted(relvane::CompleteFrame(pChunk, nSize), abChunk);
    return 0;
}
