#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace relvane
{

// The stored frame of the custom-frame form: what its OK or checksum completion stored last, shared
// by the serial custom-frame command and the TCP send of the Ethernet mode.
class CCustomFrame
{
public:
    static constexpr int kMaxFrame = 8192;     // bytes kept on OK
    static constexpr int kMaxCompletion = 261; // bytes read for the checksum completion

    CCustomFrame() { m_abFrame.fill(0); }

    // OK: stores what ParseFrameText reads from the text (up to 8192 bytes), unchecked.
    void StoreText(std::string_view strText, bool bHex);
    // Stores bytes already checked (at most 8192 are kept).
    void Store(const std::vector<std::uint8_t>& abBytes);
    // Checksum completion: on success stores the completed frame and returns true; otherwise
    // returns false with the message in strMessage and leaves the frame unchanged.
    bool CompleteText(std::string_view strText, bool bHex, std::string& strMessage);
    // "清除": length 0, bytes zero.
    void Clear();

    // The stored frame as text in the given base (what the form shows on opening).
    std::string Text(bool bHex) const;
    // Copies the frame into pDest (nDestSize bytes) and returns its length; copies nothing and
    // returns 0 when the frame is empty or does not fit.
    int CopyFrame(std::uint8_t* pDest, int nDestSize) const;

    int Length() const { return m_nLength; }
    const std::uint8_t* Bytes() const { return m_abFrame.data(); }

private:
    std::array<std::uint8_t, kMaxFrame> m_abFrame;
    int m_nLength = 0;
};

} // namespace relvane
