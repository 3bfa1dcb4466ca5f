#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace relvane
{

// Leading decimal number of a list entry such as "249  带确认的写条目", kept modulo 256;
// 0 when the text does not begin with a digit.
std::uint8_t LeadingNumber(std::string_view strText);

// Which form's count label FormatGenericList produces.
enum class GenericListKind
{
    Data,           // "通用分类数据集数目  NGD :  %d"
    Identification, // "通用分类标识数目  NOG :  %d"
};

// The user data of the generic services (ASDU 10 and 21), shared by the generic-data and the
// generic-identification forms: byte 0 = n, the index of the last byte in use (also the count the
// builders copy), byte 1 = number of items (NGD or NOG), bytes 2 to n = the items. n never
// exceeds kMaxUsed. Data() is the length-prefixed string to hand over as CommandParams::pData.
class CGenericList
{
public:
    static constexpr int kBufferSize = 256;
    static constexpr int kMaxUsed = 240;

    CGenericList() { m_abData.fill(0); }

    // Appends one generic data set (group, entry, KOD, type, width, number, value bytes).
    // nWidth and nNumber are updated when the data type forces them (R32.23: 4 x 1; double point:
    // 1 x 1) and are left as they were when nothing is added. bHex selects the base of the GID text
    // for the integer types. Returns false when the list is full (nothing changes).
    bool AddDataSet(std::uint8_t nGroup, std::uint8_t nEntry, std::string_view strKod,
                    std::string_view strType, std::uint8_t& nWidth, std::uint8_t& nNumber,
                    std::string_view strGid, bool bHex);
    // Appends one generic identification (group, entry, KOD). Returns false when it does not fit.
    bool AddIdentification(std::uint8_t nGroup, std::uint8_t nEntry, std::string_view strKod);
    // Empties the list (bytes 0 to 240 zero).
    void ClearGenericList();
    // An empty list that still carries its count byte, NOG (or NGD) = 0, as reading the group
    // headings (INF 240) and the generic interrogation (INF 245) send it: n = 1.
    void SetEmptyWithCount()
    {
        ClearGenericList();
        m_abData[0] = 1;
    }

    // Bytes 2 to n as "%2.2X " each (empty when n < 2).
    std::string ListText() const;
    // The form's count label with byte 1.
    std::string CountText(GenericListKind kind) const;

    const std::uint8_t* Data() const { return m_abData.data(); }
    std::uint8_t Used() const { return m_abData[0]; }
    std::uint8_t Count() const { return m_abData[1]; }

private:
    std::array<std::uint8_t, kBufferSize> m_abData;
};

// Both texts of a list refresh: the list box text and the count label.
struct CGenericListText
{
    std::string strList;
    std::string strCount;
};
CGenericListText FormatGenericList(const CGenericList& list, GenericListKind kind);

} // namespace relvane
