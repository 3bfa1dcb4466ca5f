// Arbitrary bytes as a received '94 frame: the annotation under both relay models, the checksum test,
// the automatic answer and the chunk splitter must never read past the input, and the annotation must
// stay within its bound.
#include "common/AnnotationText.h"
#include "proto94/Proto94ChunkSplit.h"
#include "proto94/Proto94Codec.h"

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

    // Pieces cover the chunk without gaps; every one but a last remainder is a frame of its own
    // length byte whose CRC checks.
    int nNext = 0;
    const auto pieces = relvane::SplitProto94Chunk(pFrame, nLength);
    for (std::size_t i = 0; i < pieces.size(); ++i)
    {
        const relvane::CChunkPiece& piece = pieces[i];
        if (piece.nOffset != nNext || piece.nLength < 1 || (piece.bRemainder && i + 1 != pieces.size()))
            std::abort();
        if (!piece.bRemainder && (piece.nLength < 5 || piece.nLength != abFrame[piece.nOffset + 2] + 5 ||
                                  codec.CheckFrame(pFrame + piece.nOffset, piece.nLength) != 1))
            std::abort();
        nNext = piece.nOffset + piece.nLength;
    }
    if (nNext != nLength)
        std::abort();

    std::uint8_t abAnswer[relvane::Proto94Codec::kMaxFrameLength];
    const int nAnswer = codec.BuildAutoAnswer(abAnswer, pFrame, nLength);
    if (nAnswer > 0 && codec.CheckFrame(abAnswer, nAnswer) != 1)
        std::abort();
    return 0;
}
