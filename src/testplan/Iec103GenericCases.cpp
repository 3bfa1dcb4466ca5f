// The generic services of IEC 60870-5-103 as cases: reads of the headings, a group and every
// entry, and a write of an entry the device options name, read back and put back.
#include "session/SessionCommands.h"
#include "testplan/Iec103Cases.h"
#include "testplan/Iec103Steps.h"

#include <algorithm>
#include <cstdlib>
#include <set>
#include <tuple>

namespace relvane
{
namespace
{

// A generic data set of an ASDU 10.
struct CDataSet
{
    int nGroup = 0;
    int nEntry = 0;
    int nKod = 0;
    int nType = 0;
    int nSize = 0;
    int nNumber = 0;
    std::vector<std::uint8_t> abData;
};

// The data sets of an ASDU 10; false when they do not fill the ASDU exactly as NGD says.
bool ParseDataSets(const CFt12& ft, std::vector<CDataSet>& sets)
{
    sets.clear();
    if (ft.abAsdu.size() < 8)
        return false;
    const int nCount = ft.At(7) & 0x3F;
    std::size_t nAt = 8;
    for (int i = 0; i < nCount; ++i)
    {
        if (nAt + 6 > ft.abAsdu.size())
            return false;
        CDataSet set;
        set.nGroup = ft.At(nAt);
        set.nEntry = ft.At(nAt + 1);
        set.nKod = ft.At(nAt + 2);
        set.nType = ft.At(nAt + 3);
        set.nSize = ft.At(nAt + 4);
        set.nNumber = ft.At(nAt + 5) & 0x7F;
        const std::size_t nBytes = static_cast<std::size_t>(set.nSize * set.nNumber);
        nAt += 6;
        if (nAt + nBytes > ft.abAsdu.size())
            return false;
        set.abData.assign(ft.abAsdu.begin() + static_cast<std::ptrdiff_t>(nAt),
                          ft.abAsdu.begin() + static_cast<std::ptrdiff_t>(nAt + nBytes));
        nAt += nBytes;
        sets.push_back(std::move(set));
    }
    return nAt == ft.abAsdu.size();
}

// A generic read and the ASDU 10 answers of the same INF and RII, followed while the
// continuation bit (NGD bit 7) says more come (INF 245: until its COT 10).
struct CGenericRead
{
    CExchange command;
    std::vector<int> answers;
    std::vector<int> frames;
    bool bOpen = false; // the last answer promised more
};

CGenericRead GenericRead(CCaseContext& ctx, std::uint8_t nInf, const std::vector<CGenericId>& ids, bool bStart = true)
{
    CGenericRead read;
    if (bStart)
        StartLink(ctx);
    read.command = ctx.GenericCommand(nInf, ids);
    read.frames = {read.command.nRequest, read.command.nAnswer};
    if (!read.command.Answered())
        return read;
    const int nRii = Parse(ctx, read.command.nRequest).At(6);
    const auto Collect = [&](const std::vector<int>& userData)
    {
        std::vector<int> answers;
        bool bOpen = false;
        bool bEnded = false;
        for (const int n : WithType(ctx, userData, 10))
        {
            const CFt12 ft = Parse(ctx, n);
            if (ft.Inf() == nInf && ft.At(6) == nRii)
            {
                answers.push_back(n);
                bOpen = (ft.At(7) & 0x80) != 0;
                bEnded = bEnded || ft.Cot() == 10;
            }
        }
        const bool bComplete = !answers.empty() && !bOpen && (nInf != 245 || bEnded);
        return std::make_tuple(answers, bOpen, bComplete);
    };
    const CDrain drain = AwaitClass1(ctx, [&](const CDrain& d) { return std::get<2>(Collect(d.userData)); });
    read.frames.insert(read.frames.end(), drain.frames.begin(), drain.frames.end());
    std::tie(read.answers, read.bOpen, std::ignore) = Collect(drain.userData);
    return read;
}

// The first data set of the entry (KOD 1) as read now, and the frame it came in (0: not read).
bool ReadEntry(CCaseContext& ctx, std::uint8_t nGroup, std::uint8_t nEntry, CDataSet& entry, int& nFrame)
{
    const CGenericRead read = GenericRead(ctx, 244, {{nGroup, nEntry, 1}}, false);
    nFrame = 0;
    for (const int n : read.answers)
    {
        std::vector<CDataSet> sets;
        ParseDataSets(Parse(ctx, n), sets);
        for (const CDataSet& set : sets)
        {
            if (set.nGroup == nGroup && set.nEntry == nEntry && set.nKod == 1 && !set.abData.empty())
            {
                nFrame = n;
                entry = set;
                return true;
            }
        }
    }
    return false;
}

// A generic write (INF 249 or 250) and its ASDU 10 answer (0: none).
int WriteEntry(CCaseContext& ctx, std::uint8_t nInf, const CGenericValue& value, std::vector<int>& frames)
{
    const CExchange x = ctx.GenericData(nInf, {value});
    frames.insert(frames.end(), {x.nRequest, x.nAnswer});
    if (!x.Answered())
        return 0;
    const int nRii = Parse(ctx, x.nRequest).At(6);
    const auto IsAnswer = [&](const CFt12& ft) { return ft.Inf() == nInf && ft.At(6) == nRii; };
    const CDrain drain = AwaitAsdu(ctx, 10, IsAnswer);
    frames.insert(frames.end(), drain.frames.begin(), drain.frames.end());
    for (const int n : WithType(ctx, drain.userData, 10))
    {
        if (IsAnswer(Parse(ctx, n)))
            return n;
    }
    return 0;
}

// The integer value of a data set of type 3 (unsigned) or 4 (signed), little-endian.
long long EntryValue(const CDataSet& set)
{
    unsigned long long nValue = 0;
    for (std::size_t i = set.abData.size(); i-- > 0;)
        nValue = (nValue << 8) | set.abData[i];
    if (set.nType == 4 && !set.abData.empty() && (set.abData.back() & 0x80) != 0)
        return static_cast<long long>(nValue) - (1LL << (8 * set.abData.size()));
    return static_cast<long long>(nValue);
}

// Writes the value with confirmation then execution; the reason it failed, or "".
std::string WriteConfirmed(CCaseContext& ctx, const CGenericValue& value, std::vector<int>& frames, std::vector<int>& proof)
{
    for (const std::uint8_t nInf : {std::uint8_t(249), std::uint8_t(250)})
    {
        const int nAnswer = WriteEntry(ctx, nInf, value, frames);
        proof.push_back(nAnswer);
        const std::string strWhat = nInf == 249 ? "带确认的写条目(INF 249)" : "带执行的写条目(INF 250)";
        if (nAnswer == 0)
            return strWhat + "未得到ASDU 10的回答";
        const int nCot = Parse(ctx, nAnswer).Cot();
        if (nCot == 41)
            return strWhat + "得到否定认可(COT 41)";
        if (nCot != 40)
            return strWhat + "的回答传送原因为" + Num(nCot) + ", 应为肯定认可40";
    }
    return {};
}

} // namespace

void GenericReadHeadings(CCaseContext& ctx)
{
    const CGenericRead read = GenericRead(ctx, 240, {});
    if (!ctx.Expect(read.command.Answered(), "通用分类读命令无链路应答", {read.command.nRequest}))
        return;
    if (!ctx.Expect(!read.answers.empty(), "读全部组标题(INF 240)未得到ASDU 10", read.frames))
        return;
    int nHeadings = 0;
    for (const int n : read.answers)
    {
        const CFt12 ft = Parse(ctx, n);
        if (!ctx.Expect(ft.Cot() == 42, "读组标题的应答传送原因为" + Num(ft.Cot()) + ", 应为42",
                        {read.command.nRequest, n}))
            return;
        std::vector<CDataSet> sets;
        if (!ctx.Expect(ParseDataSets(ft, sets), "ASDU 10的数据集与NGD及报文长度不符", {n}))
            return;
        // A heading is the group's description: KOD 10 as ASCII text.
        for (const CDataSet& set : sets)
        {
            if (!ctx.Expect(set.nKod == 10 && set.nType == 1,
                            "读组标题的应答中组" + Num(set.nGroup) + "条目" + Num(set.nEntry) + "的KOD为" + Num(set.nKod) +
                                ", 数据类型为" + Num(set.nType) + ", 组标题应为KOD 10(描述), 数据类型1(ASCII)",
                            {read.command.nRequest, n}))
                return;
            ++nHeadings;
        }
    }
    if (!ctx.Expect(nHeadings > 0, "读组标题的应答不含任何组标题", read.answers))
        return;
    ctx.Pass("读全部组标题得到ASDU 10, COT 42, " + Num(nHeadings) + "个组标题", Join({read.command.nRequest}, read.answers));
}

void GenericReadGroup(CCaseContext& ctx)
{
    // The group read is the first group the relay names among its headings.
    const CGenericRead headings = GenericRead(ctx, 240, {});
    int nGroup = -1;
    for (const int n : headings.answers)
    {
        std::vector<CDataSet> sets;
        if (ParseDataSets(Parse(ctx, n), sets) && !sets.empty() && nGroup < 0)
            nGroup = sets.front().nGroup;
    }
    if (!ctx.Expect(nGroup >= 0, "读全部组标题未得到任何组, 无组可读", headings.frames))
        return;
    const CGenericRead read = GenericRead(ctx, 241, {{static_cast<std::uint8_t>(nGroup), 0, 1}}, false);
    if (!ctx.Expect(read.command.Answered(), "通用分类读命令无链路应答", {read.command.nRequest}))
        return;
    if (!ctx.Expect(!read.answers.empty(), "读一个组的全部条目(INF 241)未得到ASDU 10", read.frames))
        return;
    int nSets = 0;
    for (const int n : read.answers)
    {
        const CFt12 ft = Parse(ctx, n);
        if (!ctx.Expect(ft.Cot() == 42, "读组的应答传送原因为" + Num(ft.Cot()) + ", 应为42", {read.command.nRequest, n}))
            return;
        std::vector<CDataSet> sets;
        if (!ctx.Expect(ParseDataSets(ft, sets), "ASDU 10的数据集与NGD及报文长度不符", {n}))
            return;
        for (const CDataSet& set : sets)
        {
            if (!ctx.Expect(set.nGroup == nGroup, "读组" + Num(nGroup) + "得到组" + Num(set.nGroup) + "的条目", {n}))
                return;
        }
        nSets += static_cast<int>(sets.size());
    }
    if (!ctx.Expect(!read.bOpen, "多帧应答未结束: 最后的ASDU 10后续位置位, 但再无后续帧", read.frames))
        return;
    if (!ctx.Expect(nSets > 0, "读组" + Num(nGroup) + "未得到任何条目", read.answers))
        return;
    ctx.Pass("读组" + Num(nGroup) + "得到" + Num(nSets) + "个条目, 共" + Num(static_cast<std::int64_t>(read.answers.size())) +
                 "帧, 已至结束",
             Join({read.command.nRequest}, read.answers));
}

void GenericInterrogation(CCaseContext& ctx)
{
    const CGenericRead read = GenericRead(ctx, 245, {});
    if (!ctx.Expect(read.command.Answered(), "通用分类总查询无链路应答", {read.command.nRequest}))
        return;
    int nData = 0;
    int nEnd = 0;
    for (const int n : read.answers)
    {
        const int nCot = Parse(ctx, n).Cot();
        if (nCot == 9)
            ++nData;
        else if (nCot == 10)
            nEnd = n;
    }
    if (!ctx.Expect(nData > 0, "通用分类总查询未得到COT 9的ASDU 10", read.frames))
        return;
    if (!ctx.Expect(nEnd != 0, "通用分类总查询没有以COT 10的ASDU 10结束", read.frames))
        return;
    ctx.Pass("通用分类总查询得到" + Num(nData) + "帧数据并以COT 10结束", Join({read.command.nRequest}, read.answers));
}

void GenericWriteReadBack(CCaseContext& ctx)
{
    const int nGroupDeclared = ctx.Options().nWriteGroup;
    const int nEntryDeclared = ctx.Options().nWriteEntry;
    if (nGroupDeclared == CDeviceOptions::kNoPoint || nEntryDeclared == CDeviceOptions::kNoPoint)
    {
        ctx.NotApplicable("未指定可以写的通用分类条目(writeGroup, writeEntry)");
        return;
    }
    const auto nGroup = static_cast<std::uint8_t>(nGroupDeclared);
    const auto nEntry = static_cast<std::uint8_t>(nEntryDeclared);
    const std::string strEntry = "组" + Num(nGroup) + "条目" + Num(nEntry);
    StartLink(ctx);
    CDataSet old;
    int nBefore = 0;
    if (!ctx.Expect(ReadEntry(ctx, nGroup, nEntry, old, nBefore), "读条目(" + strEntry + ")未得到它的值", {}))
        return;
    if ((old.nType != 3 && old.nType != 4) || old.nSize < 1 || old.nSize > 4 || old.nNumber != 1)
    {
        ctx.NotApplicable(strEntry + "不是一个1至4字节的整数(数据类型" + Num(old.nType) + "), 不知写什么值");
        return;
    }
    const long long nOld = EntryValue(old);
    const long long nNew = nOld ^ 1; // the lowest bit: the smallest change there is
    const auto Value = [&](long long nValue)
    {
        return CGenericValue{nGroup, nEntry, static_cast<std::uint8_t>(old.nType), static_cast<std::uint8_t>(old.nSize), 1,
                             std::to_string(nValue)};
    };
    std::vector<int> frames;
    std::vector<int> proof = {nBefore};
    const std::string strWrong = WriteConfirmed(ctx, Value(nNew), frames, proof);
    CDataSet now;
    int nAfter = 0;
    const bool bRead = strWrong.empty() && ReadEntry(ctx, nGroup, nEntry, now, nAfter);
    proof.push_back(nAfter);
    // The old value back, whatever came of the write.
    std::vector<int> restore;
    std::vector<int> restoreProof;
    CDataSet back;
    int nBack = 0;
    ctx.Restore(
        [&]
        {
            if (WriteConfirmed(ctx, Value(nOld), restore, restoreProof).empty() &&
                ReadEntry(ctx, nGroup, nEntry, back, nBack) && EntryValue(back) == nOld)
                ctx.Restored(strEntry + "已写回原值" + Num(nOld) + "(帧" + Num(nBack) + ")");
            else
                ctx.Restored(strEntry + "未能写回原值" + Num(nOld) + ", 请手动恢复");
        });
    if (!ctx.Expect(strWrong.empty(), strWrong, Join(proof, frames)))
        return;
    const long long nRead = bRead ? EntryValue(now) : -1;
    if (!ctx.Expect(bRead && nRead == nNew,
                    "写入" + Num(nNew) + "后读回" + (bRead ? Num(nRead) : std::string("无值")), proof))
        return;
    ctx.Pass(strEntry + "由" + Num(nOld) + "写为" + Num(nNew) + "(确认+执行, COT 40), 读回一致", proof);
}


} // namespace relvane
