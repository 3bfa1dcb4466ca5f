#include "iec103/CustomFrame.h"

#include "iec103/FrameText.h"

#include <algorithm>
#include <cstring>

namespace relvane
{

void CCustomFrame::StoreText(std::string_view strText, bool bHex)
{
    const auto abBytes = ParseFrameText(strText, bHex, kMaxFrame);
    m_abFrame.fill(0);
    std::copy(abBytes.begin(), abBytes.end(), m_abFrame.begin());
    m_nLength = static_cast<int>(abBytes.size());
}

void CCustomFrame::Store(const std::vector<std::uint8_t>& abBytes)
{
    const std::size_t nCount = std::min<std::size_t>(abBytes.size(), kMaxFrame);
    m_abFrame.fill(0);
    std::copy_n(abBytes.begin(), nCount, m_abFrame.begin());
    m_nLength = static_cast<int>(nCount);
}

bool CCustomFrame::CompleteText(std::string_view strText, bool bHex, std::string& strMessage)
{
    const auto completed = CompleteFrame(ParseFrameText(strText, bHex, kMaxCompletion));
    if (!completed.IsFrame())
    {
        strMessage = completed.strMessage;
        return false;
    }
    m_abFrame.fill(0);
    std::copy(completed.abFrame.begin(), completed.abFrame.end(), m_abFrame.begin());
    m_nLength = static_cast<int>(completed.abFrame.size());
    strMessage.clear();
    return true;
}

void CCustomFrame::Clear()
{
    m_abFrame.fill(0);
    m_nLength = 0;
}

std::string CCustomFrame::Text(bool bHex) const
{
    return FormatFrameText(m_abFrame.data(), static_cast<std::size_t>(m_nLength), bHex);
}

int CCustomFrame::CopyFrame(std::uint8_t* pDest, int nDestSize) const
{
    if (m_nLength <= 0 || pDest == nullptr || m_nLength > nDestSize)
        return 0;
    std::memcpy(pDest, m_abFrame.data(), static_cast<std::size_t>(m_nLength));
    return m_nLength;
}

} // namespace relvane
