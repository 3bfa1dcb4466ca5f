#include "events/RecordCsv.h"

#include "common/WholeFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <queue>
#include <tuple>
#include <utility>

namespace relvane
{
namespace
{

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

void AppendField(std::string& strLine, std::string_view strField)
{
    if (!strLine.empty() && strLine.back() != '\n')
        strLine += ',';
    if (strField.find_first_of(",\"\r\n") == std::string_view::npos)
    {
        strLine += strField;
        return;
    }
    strLine += '"';
    for (const char c : strField)
    {
        if (c == '"')
            strLine += '"';
        strLine += c;
    }
    strLine += '"';
}

std::string Number(int nValue)
{
    return nValue < 0 ? std::string() : std::to_string(nValue);
}

std::string Real(const char* pszFormat, double dValue)
{
    char szText[64];
    std::snprintf(szText, sizeof szText, pszFormat, dValue);
    return szText;
}

void EndLine(std::string& strText)
{
    strText += "\r\n";
}

} // namespace

std::string BuildEventsCsv(const std::vector<const CEventRow*>& rows)
{
    std::string strText(kByteOrderMark);
    strText += "序号,规约,装置时间,接收时间,FUN,INF,名称,状态,SIN,故障序号,相对时间(ms),COT";
    EndLine(strText);
    for (const CEventRow* pRow : rows)
    {
        const CEventRow& row = *pRow;
        AppendField(strText, std::to_string(row.nNumber));
        AppendField(strText, row.nProtocol == RECORDS_94 ? "94" : "103");
        AppendField(strText, row.strRelayTime);
        AppendField(strText, row.strReceived);
        AppendField(strText, Number(row.nFun));
        AppendField(strText, Number(row.nInf));
        AppendField(strText, row.strName);
        AppendField(strText, row.strState);
        AppendField(strText, Number(row.nSin));
        AppendField(strText, Number(row.nFan));
        AppendField(strText, Number(row.nRet));
        AppendField(strText, Number(row.nCot));
        EndLine(strText);
    }
    return strText;
}

std::string BuildEventsCsv(const CRecordTables& tables)
{
    std::vector<const CEventRow*> rows;
    rows.reserve(tables.Events().size());
    for (const CEventRow& row : tables.Events())
        rows.push_back(&row);
    return BuildEventsCsv(rows);
}

std::string BuildMeasurandsCsv(const CRecordTables& tables, const std::vector<std::string>& keys, double dFrom)
{
    std::string strText(kByteOrderMark);
    strText += "接收时间,时间(秒),名称,规约,FUN,INF,位置,值,原始,OV,ER";
    EndLine(strText);
    // Merge the series by time; within one time, in the order the series first came.
    using Cursor = std::tuple<double, std::size_t, std::size_t>; // time, series, point
    std::priority_queue<Cursor, std::vector<Cursor>, std::greater<>> queue;
    const auto& series = tables.Series();
    for (std::size_t i = 0; i < series.size(); ++i)
    {
        if (!keys.empty() && std::find(keys.begin(), keys.end(), series[i].strKey) == keys.end())
            continue;
        const auto& points = series[i].points;
        const auto it = std::lower_bound(points.begin(), points.end(), dFrom,
                                         [](const CTrendPoint& point, double dTime) { return point.dTime < dTime; });
        if (it != points.end())
            queue.emplace(it->dTime, i, static_cast<std::size_t>(it - points.begin()));
    }
    while (!queue.empty())
    {
        const auto [dTime, nSeries, nPoint] = queue.top();
        queue.pop();
        const CMeasurandSeries& one = series[nSeries];
        const CTrendPoint& point = one.points[nPoint];
        AppendField(strText, FormatRecordTime(tables.TimeBase(), point.dTime));
        AppendField(strText, Real("%.3f", point.dTime));
        AppendField(strText, one.strName);
        AppendField(strText, one.nProtocol == RECORDS_94 ? "94" : "103");
        AppendField(strText, Number(one.nFun));
        AppendField(strText, Number(one.nInf));
        AppendField(strText, std::to_string(one.nPosition));
        AppendField(strText, Real("%.12g", point.dValue));
        char szRaw[8];
        std::snprintf(szRaw, sizeof szRaw, "%04X", point.nRaw & 0xFFFF);
        AppendField(strText, szRaw);
        AppendField(strText, one.nProtocol == RECORDS_94 ? "" : (point.bOverflow ? "1" : "0"));
        AppendField(strText, one.nProtocol == RECORDS_94 ? "" : (point.bError ? "1" : "0"));
        EndLine(strText);
        if (nPoint + 1 < one.points.size())
            queue.emplace(one.points[nPoint + 1].dTime, nSeries, nPoint + 1);
    }
    return strText;
}

bool WriteCsvFile(const std::string& strPath, std::string_view strText, std::string& strError)
{
    CWholeFile file;
    if (file.Open(strPath) && file.Write(strText.data(), strText.size()) && file.Commit())
        return true;
    strError = file.DiskFull() ? std::string("目的磁盘驱动器已满。") : std::string(std::strerror(file.Error()));
    file.Cancel();
    return false;
}

std::vector<std::vector<std::string>> ParseCsv(std::string_view strText)
{
    std::vector<std::vector<std::string>> rows;
    if (strText.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        strText.remove_prefix(kByteOrderMark.size());
    std::vector<std::string> row;
    std::string strField;
    bool bQuoted = false;
    bool bAny = false;
    for (std::size_t i = 0; i < strText.size(); ++i)
    {
        const char c = strText[i];
        if (bQuoted)
        {
            if (c == '"' && i + 1 < strText.size() && strText[i + 1] == '"')
            {
                strField += '"';
                ++i;
            }
            else if (c == '"')
                bQuoted = false;
            else
                strField += c;
            continue;
        }
        bAny = true;
        if (c == '"')
            bQuoted = true;
        else if (c == ',')
            row.push_back(std::exchange(strField, std::string()));
        else if (c == '\r' || c == '\n')
        {
            if (c == '\r' && i + 1 < strText.size() && strText[i + 1] == '\n')
                ++i;
            row.push_back(std::exchange(strField, std::string()));
            rows.push_back(std::exchange(row, {}));
            bAny = false;
        }
        else
            strField += c;
    }
    if (bAny || !strField.empty())
    {
        row.push_back(std::move(strField));
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace relvane
