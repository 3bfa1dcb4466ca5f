#include "relay/GenericDirectory.h"

#include "relay/Iec103Frames.h"

namespace relvane
{
namespace
{

constexpr std::uint8_t kTypeText = 1; // OS8 ASCII, here GBK
constexpr std::uint8_t kTypeUnsigned = 3;
constexpr std::uint8_t kTypeSigned = 4;
constexpr std::uint8_t kTypeReal = 7;
constexpr std::uint8_t kTypeDoublePoint = 9;
constexpr std::uint8_t kTypeSinglePoint = 10;

constexpr std::uint8_t kKodActual = 1;
constexpr std::uint8_t kKodDefault = 2;
constexpr std::uint8_t kKodRange = 3;
constexpr std::uint8_t kKodPrecision = 5;
constexpr std::uint8_t kKodUnit = 9;
constexpr std::uint8_t kKodDescription = 10;

constexpr std::uint8_t kInfReadHeadings = 240;
constexpr std::uint8_t kInfReadGroup = 241;
constexpr std::uint8_t kInfReadDirectory = 243;
constexpr std::uint8_t kInfReadEntry = 244;
constexpr std::uint8_t kInfInterrogation = 245;
constexpr std::uint8_t kInfWrite = 248;
constexpr std::uint8_t kInfWriteConfirm = 249;
constexpr std::uint8_t kInfWriteExecute = 250;
constexpr std::uint8_t kInfWriteAbort = 251;

// An ASDU holds at most 253 bytes (L is one byte and counts C and A too).
constexpr std::size_t kMaxAsdu = 253;

CRelayBytes Unsigned(unsigned nValue, int nSize)
{
    CRelayBytes ab;
    for (int i = 0; i < nSize; ++i)
        ab.push_back(static_cast<std::uint8_t>((nValue >> (8 * i)) & 0xFF));
    return ab;
}

CRelayBytes Reals(std::initializer_list<float> values)
{
    CRelayBytes ab;
    for (const float f : values)
        AppendFloat(ab, f);
    return ab;
}

CRelayBytes Text(const std::string& str)
{
    return CRelayBytes(str.begin(), str.end());
}

} // namespace

std::vector<CGenericDirectory::CEntry> CGenericDirectory::BuildEntries()
{
    // Names are GBK, as the relay sends them.
    // clang-format off
    return {
        {1, 1, "\xC8\xED\xBC\xFE\xB0\xE6\xB1\xBE", // 软件版本
         kTypeUnsigned, 2, Unsigned(0x0102, 2), {}, {}, "", false},
        {1, 2, "\xD4\xCB\xD0\xD0\xD0\xA1\xCA\xB1", // 运行小时
         kTypeUnsigned, 4, Unsigned(8760, 4), {}, {}, "h", false},
        {2, 1, "\xB9\xFD\xC1\xF7\x49\xB6\xCE\xB6\xA8\xD6\xB5", // 过流I段定值
         kTypeReal, 4, Reals({5.0f}), Reals({5.0f}), Reals({0.1f, 100.0f, 0.01f}), "A", true},
        {2, 2, "\xB9\xFD\xC1\xF7\x49\xB6\xCE\xCA\xB1\xBC\xE4", // 过流I段时间
         kTypeReal, 4, Reals({0.3f}), Reals({0.3f}), Reals({0.0f, 10.0f, 0.01f}), "s", true},
        {2, 3, "\xC1\xE3\xD0\xF2\xB5\xE7\xC1\xF7\xB6\xA8\xD6\xB5", // 零序电流定值
         kTypeReal, 4, Reals({1.2f}), Reals({1.2f}), Reals({0.1f, 50.0f, 0.01f}), "A", true},
        {2, 4, "\xD6\xD8\xBA\xCF\xD5\xA2\xCD\xB6\xC8\xEB", // 重合闸投入
         kTypeSinglePoint, 1, {1}, {1}, {}, "", true},
        {2, 5, "\xCE\xC2\xB6\xC8\xB2\xB9\xB3\xA5", // 温度补偿
         kTypeSigned, 2, Unsigned(20, 2), Unsigned(20, 2), Unsigned(0, 2), "C", true},
        {3, 1, "\xB6\xCF\xC2\xB7\xC6\xF7\xCE\xBB\xD6\xC3", // 断路器位置
         kTypeDoublePoint, 1, {2}, {}, {}, "", false},
        {3, 2, "\xB8\xF4\xC0\xEB\xB5\xB6\xD5\xA2\xCE\xBB\xD6\xC3", // 隔离刀闸位置
         kTypeDoublePoint, 1, {1}, {}, {}, "", false},
        {5, 1, "\xD3\xC3\xBB\xA7\xB2\xCE\xCA\xFD\x31", // 用户参数1
         kTypeUnsigned, 2, Unsigned(100, 2), Unsigned(100, 2), {0, 0, 0xE8, 0x03, 1, 0}, "", true},
        {5, 2, "\xD3\xC3\xBB\xA7\xB2\xCE\xCA\xFD\x32", // 用户参数2
         kTypeUnsigned, 1, {3}, {3}, {0, 9, 1}, "", true},
        {5, 3, "\xD3\xC3\xBB\xA7\xB2\xCE\xCA\xFD\x33", // 用户参数3
         kTypeReal, 4, Reals({2.5f}), Reals({2.5f}), Reals({0.0f, 10.0f, 0.5f}), "", true},
    };
    // clang-format on
}

const CGenericDirectory::CEntry* CGenericDirectory::Find(std::uint8_t nGroup, std::uint8_t nEntry) const
{
    for (const CEntry& entry : m_entries)
    {
        if (entry.nGroup == nGroup && entry.nEntry == nEntry)
            return &entry;
    }
    return nullptr;
}

CRelayBytes CGenericDirectory::Value(std::uint8_t nGroup, std::uint8_t nEntry) const
{
    const CEntry* pEntry = Find(nGroup, nEntry);
    return pEntry != nullptr ? pEntry->abValue : CRelayBytes();
}

bool CGenericDirectory::Describe(const CEntry& entry, std::uint8_t nKod, CDataSet& set)
{
    set = {entry.nGroup, entry.nEntry, nKod, entry.nType, entry.nSize, 1, {}};
    switch (nKod)
    {
    case kKodActual:
        set.abData = entry.abValue;
        return true;
    case kKodDefault:
        set.abData = entry.abDefault;
        return !entry.abDefault.empty();
    case kKodRange:
        set.nNumber = 3;
        set.abData = entry.abRange;
        return !entry.abRange.empty();
    case kKodPrecision:
        if (entry.nType != kTypeReal && entry.nType != kTypeUnsigned && entry.nType != kTypeSigned)
            return false;
        // Digits in all and after the point.
        set.nType = kTypeUnsigned;
        set.nSize = 1;
        set.nNumber = 2;
        set.abData = entry.nType == kTypeReal ? CRelayBytes{6, 2} : CRelayBytes{5, 0};
        return true;
    case kKodUnit:
    case kKodDescription:
    {
        const std::string& str = nKod == kKodUnit ? entry.strUnit : entry.strName;
        set.nType = kTypeText;
        set.nSize = static_cast<std::uint8_t>(str.size());
        set.abData = Text(str);
        return !str.empty();
    }
    default:
        return false;
    }
}

CRelayBytes CGenericDirectory::BuildAsdu10(std::uint8_t nCot, std::uint8_t nAddress, std::uint8_t nInf,
                                           std::uint8_t nRii, const std::vector<CDataSet>& sets)
{
    CRelayBytes abAsdu = BuildAsduHeader(10, 0x81, nCot, nAddress, kGenericFun, nInf);
    abAsdu.push_back(nRii);
    abAsdu.push_back(0); // NGD, counted below
    std::uint8_t nCount = 0;
    for (const CDataSet& set : sets)
    {
        if (abAsdu.size() + 6 + set.abData.size() > kMaxAsdu || nCount == 63)
            break;
        abAsdu.insert(abAsdu.end(), {set.nGroup, set.nEntry, set.nKod, set.nType, set.nSize, set.nNumber});
        abAsdu.insert(abAsdu.end(), set.abData.begin(), set.abData.end());
        ++nCount;
    }
    abAsdu[7] = nCount;
    return abAsdu;
}

void CGenericDirectory::OnGenericCommand(const std::uint8_t* pAsdu, int nLength, std::uint8_t nAddress,
                                         std::vector<CRelayBytes>& out) const
{
    if (nLength < 8)
        return;
    const std::uint8_t nInf = pAsdu[5];
    const std::uint8_t nRii = pAsdu[6];
    // The first identification: group, entry, KOD.
    const bool bHasId = nLength >= 11 && (pAsdu[7] & 0x3F) > 0;
    const std::uint8_t nGroup = bHasId ? pAsdu[8] : 0;
    const std::uint8_t nEntry = bHasId ? pAsdu[9] : 0;
    const std::uint8_t nKod = bHasId ? pAsdu[10] : kKodActual;
    std::vector<CDataSet> sets;
    switch (nInf)
    {
    case kInfReadHeadings:
        for (const CGroup& group : m_groups)
        {
            sets.push_back({group.nGroup, 0, kKodDescription, kTypeText,
                            static_cast<std::uint8_t>(group.strName.size()), 1, Text(group.strName)});
        }
        out.push_back(BuildAsdu10(kCotReadValid, nAddress, nInf, nRii, sets));
        return;
    case kInfReadGroup:
    {
        CDataSet set;
        for (const CEntry& entry : m_entries)
        {
            if (entry.nGroup == nGroup && Describe(entry, nKod, set))
                sets.push_back(set);
        }
        out.push_back(
            BuildAsdu10(sets.empty() ? kCotReadInvalid : kCotReadValid, nAddress, nInf, nRii, sets));
        return;
    }
    case kInfReadDirectory:
    {
        // Generic identification (ASDU 11): the entry's descriptive elements.
        const CEntry* pEntry = Find(nGroup, nEntry);
        CRelayBytes abAsdu = BuildAsduHeader(11, 0x81, pEntry != nullptr ? kCotReadValid : kCotReadInvalid,
                                             nAddress, kGenericFun, nInf);
        abAsdu.insert(abAsdu.end(), {nRii, nGroup, nEntry, 0});
        std::uint8_t nCount = 0;
        CDataSet set;
        for (std::uint8_t nEachKod :
             {kKodActual, kKodDefault, kKodRange, kKodPrecision, kKodUnit, kKodDescription})
        {
            if (pEntry == nullptr || !Describe(*pEntry, nEachKod, set))
                continue;
            abAsdu.insert(abAsdu.end(), {set.nKod, set.nType, set.nSize, set.nNumber});
            abAsdu.insert(abAsdu.end(), set.abData.begin(), set.abData.end());
            ++nCount;
        }
        abAsdu[9] = nCount;
        out.push_back(abAsdu);
        return;
    }
    case kInfReadEntry:
    {
        const CEntry* pEntry = Find(nGroup, nEntry);
        CDataSet set;
        if (pEntry != nullptr && Describe(*pEntry, nKod, set))
        {
            out.push_back(BuildAsdu10(kCotReadValid, nAddress, nInf, nRii, {set}));
            return;
        }
        out.push_back(
            BuildAsdu10(kCotReadInvalid, nAddress, nInf, nRii, {{nGroup, nEntry, nKod, 0, 0, 0, {}}}));
        return;
    }
    case kInfInterrogation:
    {
        // One ASDU of actual values per group, then the end of the interrogation.
        for (const CGroup& group : m_groups)
        {
            sets.clear();
            CDataSet set;
            for (const CEntry& entry : m_entries)
            {
                if (entry.nGroup == group.nGroup && Describe(entry, kKodActual, set))
                    sets.push_back(set);
            }
            out.push_back(BuildAsdu10(kCotInterrogation, nAddress, nInf, nRii, sets));
        }
        out.push_back(BuildAsdu10(kCotInterrogationEnd, nAddress, nInf, nRii, {}));
        return;
    }
    default:
        out.push_back(BuildAsdu10(kCotReadInvalid, nAddress, nInf, nRii, {}));
        return;
    }
}

bool CGenericDirectory::ParseDataSets(const std::uint8_t* pAsdu, int nLength, std::vector<CDataSet>& sets)
{
    const int nCount = pAsdu[7] & 0x3F;
    int nAt = 8;
    for (int i = 0; i < nCount; ++i)
    {
        if (nAt + 6 > nLength)
            return false;
        CDataSet set{pAsdu[nAt],
                     pAsdu[nAt + 1],
                     pAsdu[nAt + 2],
                     pAsdu[nAt + 3],
                     pAsdu[nAt + 4],
                     static_cast<std::uint8_t>(pAsdu[nAt + 5] & 0x7F),
                     {}};
        const int nBytes = set.nSize * set.nNumber;
        nAt += 6;
        if (nAt + nBytes > nLength)
            return false;
        set.abData.assign(pAsdu + nAt, pAsdu + nAt + nBytes);
        nAt += nBytes;
        sets.push_back(std::move(set));
    }
    return true;
}

bool CGenericDirectory::CheckWrite(const CDataSet& set) const
{
    const CEntry* pEntry = Find(set.nGroup, set.nEntry);
    return pEntry != nullptr && pEntry->bWritable && set.nKod == kKodActual && set.nType == pEntry->nType &&
           set.nSize == pEntry->nSize && set.nNumber == 1;
}

void CGenericDirectory::OnGenericData(const std::uint8_t* pAsdu, int nLength, std::uint8_t nAddress,
                                      std::vector<CRelayBytes>& out)
{
    if (nLength < 8)
        return;
    const std::uint8_t nInf = pAsdu[5];
    const std::uint8_t nRii = pAsdu[6];
    std::vector<CDataSet> sets;
    bool bValid = ParseDataSets(pAsdu, nLength, sets);
    for (const CDataSet& set : sets)
        bValid = bValid && CheckWrite(set);
    auto Apply = [this](const std::vector<CDataSet>& writes)
    {
        for (const CDataSet& set : writes)
        {
            for (CEntry& entry : m_entries)
            {
                if (entry.nGroup == set.nGroup && entry.nEntry == set.nEntry)
                    entry.abValue = set.abData;
            }
        }
    };
    switch (nInf)
    {
    case kInfWrite:
        if (bValid)
            Apply(sets);
        break;
    case kInfWriteConfirm:
        if (bValid)
            m_pendingWrites = sets;
        break;
    case kInfWriteExecute:
        // Executes what write with confirmation announced; without one, the values given here.
        if (!m_pendingWrites.empty())
        {
            sets = m_pendingWrites;
            bValid = true;
        }
        if (bValid)
            Apply(sets);
        m_pendingWrites.clear();
        break;
    case kInfWriteAbort:
        m_pendingWrites.clear();
        bValid = true;
        break;
    default:
        bValid = false;
        break;
    }
    out.push_back(BuildAsdu10(bValid ? kCotWritePositive : kCotWriteNegative, nAddress, nInf, nRii, sets));
}

} // namespace relvane
