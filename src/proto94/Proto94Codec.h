#pragma once

#include "common/AnnotationText.h"
#include "proto94/DeviceModel.h"

#include <cstdint>
#include <string>

namespace relvane
{

// Codec of the '94 relay protocol. Frame: address, code, length n, n data
// bytes, CRC-16/ARC low byte first. Stateless apart from the selected model.
class Proto94Codec
{
public:
    static constexpr int kMaxFrameLength = 12; // longest frame BuildFrame writes (81H)

    void SetModel(DeviceModel eModel) { m_eModel = eModel; }
    DeviceModel Model() const { return m_eModel; }

    // Writes the frame of nCode into pOut (room for kMaxFrameLength bytes) and returns its length
    // (5 to 12), or -1 when the code has no layout or nExtraCount does not fit the code (85H, 8FH,
    // 90H need 1, 99H needs 2, the others ignore it). For 81H the caller writes the seven clock
    // bytes into pOut[3..9] first (BuildClockBytes); nCpu is not sent then.
    int BuildFrame(std::uint8_t nCode, std::uint8_t* pOut, std::uint8_t nAddress, std::uint8_t nCpu,
                   int nExtraCount, const std::uint8_t* pExtra) const;

    // 1 when the CRC over all but the last two bytes equals the last two (low byte first), else 0.
    // Fewer than 2 bytes (or a null frame): 0.
    int CheckFrame(const std::uint8_t* pFrame, int nLength) const;

    // The automatic answer to a BAH report (86H, 85H with group FFH, or 8AH by the lowest set
    // request flag among bits 0..3 of byte 4), built into pOut (room for kMaxFrameLength);
    // its length, or -1 when no answer is due (also when the frame is shorter than 5 bytes).
    int BuildAutoAnswer(std::uint8_t* pOut, const std::uint8_t* pFrame, int nLength) const;

    // Annotation of a frame for the log: 1 with strText set (UTF-8, at most 2047 bytes measured as
    // GBK) for 81H, B0H, B7H, BDH, BEH and CAH; -1 with strText empty otherwise. Nothing is read
    // beyond nLength: a field whose bytes are not all present is left out (see the .cpp).
    int Interpret(const std::uint8_t* pFrame, int nLength, std::string& strText) const;

    // Decoders used by Interpret; each appends to text (bounded by CAnnotationText).
    // Time stamp of 7 (short) or 9 (long) bytes; returns 1.
    static int DecodeTime(const std::uint8_t* pStamp, bool bLong, CAnnotationText& text);
    // Setting records of nCount bytes from pRecords; nAvailable is how many bytes may be read from
    // pRecords (records are read as they stand, also past nCount, but never past nAvailable:
    // decoding stops at the first record whose bytes are not all available). A record of kind 0 or
    // 4 to 7 wipes the settings text built so far, not what text held before the call.
    void DecodeSettings(const std::uint8_t* pRecords, std::uint8_t nCount, int nAvailable,
                        CAnnotationText& text) const;
    static double DecodeSettingValue(std::uint8_t nHigh, std::uint8_t nLow);
    // Switch records (3 bytes each); text only when nCount is a non-zero multiple of 3; stops at
    // the first record not wholly within nAvailable.
    static void DecodeSwitches(const std::uint8_t* pRecords, std::uint8_t nCount, int nAvailable,
                               CAnnotationText& text);

private:
    void DecodeSettingRecords(const std::uint8_t* pRecords, std::uint8_t nCount, int nAvailable,
                              CAnnotationText& text) const;

    DeviceModel m_eModel = KLR10;
};

} // namespace relvane
