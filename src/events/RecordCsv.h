#pragma once

#include "events/RecordTables.h"

#include <string>
#include <string_view>
#include <vector>

namespace relvane
{

// The event list and the measurand series as CSV for spreadsheet programs: UTF-8 with a byte-order
// mark (without it they take the Chinese headers for the local code page), "\r\n" line ends, fields
// quoted where they hold a comma, a quote or a line end.

// One row per event: 序号, 规约, 装置时间, 接收时间, FUN, INF, 名称, 状态, SIN, 故障序号, 相对时间(ms), COT
// (empty where the frame has no such field). Rows are given in the order to write.
std::string BuildEventsCsv(const std::vector<const CEventRow*>& rows);
std::string BuildEventsCsv(const CRecordTables& tables);
// One row per sample, all series merged in time order: 接收时间, 时间(秒), 名称, 规约, FUN, INF, 位置, 值,
// 原始, OV, ER. Only the series named in keys (all when empty), only points from dFrom on.
std::string BuildMeasurandsCsv(const CRecordTables& tables, const std::vector<std::string>& keys = {},
                               double dFrom = -1e300);

// Writes the text whole (CWholeFile); false with strError set (the reason, "disk full" told apart).
bool WriteCsvFile(const std::string& strPath, std::string_view strText, std::string& strError);

// Reads CSV as written above (byte-order mark skipped, quoted fields, "\r\n" or "\n"): rows of fields.
std::vector<std::vector<std::string>> ParseCsv(std::string_view strText);

} // namespace relvane
