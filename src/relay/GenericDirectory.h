#pragma once

#include "relay/RelayTypes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace relvane
{

// The relay's generic-services data (function type 254): four groups of entries of several data
// types, each with the descriptions a master can read (KOD 1 actual value, 2 default, 3 range,
// 5 precision, 9 unit, 10 description) and the settings group writable.
//
//   group 1 装置信息  1 软件版本 (UI, 2 bytes)  2 运行小时 (UI, 4 bytes)
//   group 2 保护定值  1 过流I段定值 (R32, A)  2 过流I段时间 (R32, s)  3 零序电流定值 (R32, A)
//                     4 重合闸投入 (single point)  5 温度补偿 (signed, 2 bytes, °C)   all writable
//   group 3 开关状态  1 断路器位置, 2 隔离刀闸位置 (double point)
//   group 5 用户参数  1 (UI, 2 bytes)  2 (UI, 1 byte)  3 (R32)                          all writable
//
// Answers are whole ASDUs (TYP 10 or 11) for the relay's class-1 queue. A read of something the
// relay lacks gets COT 43; a write it cannot take (unknown or read-only entry, KOD other than 1,
// another data type or size) gets COT 41 and changes nothing. Write with confirmation (249)
// holds the values until write with execution (250) or abort (251).
class CGenericDirectory
{
public:
    static constexpr std::uint8_t kGenericFun = 254;

    // ASDU 21 from the master (from TYP on), its answers appended to out.
    void OnGenericCommand(const std::uint8_t* pAsdu, int nLength, std::uint8_t nAddress,
                          std::vector<CRelayBytes>& out) const;
    // ASDU 10 from the master.
    void OnGenericData(const std::uint8_t* pAsdu, int nLength, std::uint8_t nAddress,
                       std::vector<CRelayBytes>& out);

    // The current value bytes of an entry (empty when there is no such entry).
    CRelayBytes Value(std::uint8_t nGroup, std::uint8_t nEntry) const;

private:
    struct CEntry
    {
        std::uint8_t nGroup;
        std::uint8_t nEntry;
        std::string strName; // GBK
        std::uint8_t nType;
        std::uint8_t nSize;
        CRelayBytes abValue;
        CRelayBytes abDefault;
        CRelayBytes abRange; // minimum, maximum, step; empty when the entry has none
        std::string strUnit;
        bool bWritable;
    };
    struct CDataSet
    {
        std::uint8_t nGroup;
        std::uint8_t nEntry;
        std::uint8_t nKod;
        std::uint8_t nType;
        std::uint8_t nSize;
        std::uint8_t nNumber;
        CRelayBytes abData;
    };
    struct CGroup
    {
        std::uint8_t nGroup;
        std::string strName; // GBK
    };

    static std::vector<CEntry> BuildEntries();
    const CEntry* Find(std::uint8_t nGroup, std::uint8_t nEntry) const;
    static bool Describe(const CEntry& entry, std::uint8_t nKod, CDataSet& set);
    static CRelayBytes BuildAsdu10(std::uint8_t nCot, std::uint8_t nAddress, std::uint8_t nInf,
                                   std::uint8_t nRii, const std::vector<CDataSet>& sets);
    static bool ParseDataSets(const std::uint8_t* pAsdu, int nLength, std::vector<CDataSet>& sets);
    bool CheckWrite(const CDataSet& set) const;

    std::vector<CGroup> m_groups{{1, "\xD7\xB0\xD6\xC3\xD0\xC5\xCF\xA2"},  // 装置信息
                                 {2, "\xB1\xA3\xBB\xA4\xB6\xA8\xD6\xB5"},  // 保护定值
                                 {3, "\xBF\xAA\xB9\xD8\xD7\xB4\xCC\xAC"},  // 开关状态
                                 {5, "\xD3\xC3\xBB\xA7\xB2\xCE\xCA\xFD"}}; // 用户参数
    std::vector<CEntry> m_entries = BuildEntries();
    std::vector<CDataSet> m_pendingWrites;
};

} // namespace relvane
