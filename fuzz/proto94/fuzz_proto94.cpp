// Arbitrary bytes as a received '94 frame: the annotation under both relay models, the checksum test,
// the automatic answer and the frame scanner must never read past the input, and the annotation must
// stay within its bound.
#include "common/AnnotationText.h"
#include "common/FrameScanner.h"
#include "proto94/Proto94Codec.h"
#include "proto94/Proto94FrameScan.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    if (nSize > 4096)
        return 0;
    // An exact-size heap copy so that AddressSanitizer catches a read one byte past the frame.
    const std::vector<std::uint8_t> abFrame(pData, pData + nSize);
    const std::uint8_t* pFrame = abFrame.empty() ? nullptr : abFrame.data();
    const int nLength = static_cast<int>(nSize);

    relvane::Proto94Codec codec;
    std::string strText;
    for (const relvane::DeviceModel eModel : {relvane::KLR10, relvane::KTR20})
    {
        codec.SetModel(eModel);
        const int nResult = codec.Interpret(pFrame, nLength, strText);
        if (nResult <= 0 && !strText.empty())
            std::abort();
        if (relvane::GbkLength(strText) > relvane::CAnnotationText::kMaxGbkBytes)
            std::abort();
    }
    (void)codec.CheckFrame(pFrame, nLength);

    // The scanner's pieces cover the bytes without gaps; every frame is one of its own length byte
    // whose CRC checks.
    relvane::CFrameScanner scanner(relvane::ScanProto94Frame, 1000);
    std::vector<relvane::CScanPiece> pieces;
    scanner.Feed(pFrame, nLength, relvane::CScanTime{}, pieces);
    scanner.Flush(pieces);
    std::vector<std::uint8_t> abJoined;
    for (const relvane::CScanPiece& piece : pieces)
    {
        const int nPiece = static_cast<int>(piece.abBytes.size());
        if (nPiece < 1)
            std::abort();
        if (piece.bFrame && (nPiece < 5 || nPiece != piece.abBytes[2] + 5 || codec.CheckFrame(piece.abBytes.data(), nPiece) != 1))
            std::abort();
        abJoined.insert(abJoined.end(), piece.abBytes.begin(), piece.abBytes.end());
    }
    if (abJoined != abFrame)
        std::abort();

    std::uint8_t abAnswer[relvane::Proto94Codec::kMaxFrameLength];
    const int nAnswer = codec.BuildAutoAnswer(abAnswer, pFrame, nLength);
    if (nAnswer > 0 && codec.CheckFrame(abAnswer, nAnswer) != 1)
        std::abort();
    return 0;
}
