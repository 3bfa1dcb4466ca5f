#pragma once

#include "proto94/DeviceModel.h"

#include <cstdint>
#include <string>

namespace relvane
{

// One row of a relay name table; each table is in ascending code order and ends with a
// row {-1, ""}. Names are UTF-8 (at most 38 bytes as GBK).
struct CNameRow
{
    int nCode;
    const char* pszName;
};

enum NameTable
{
    TABLE_COMMON_EVENTS,  // event type 0, 195 rows, codes 0..230
    TABLE_KLR10_EVENTS,   // event type 1, 245 rows, codes 1..255
    TABLE_KTR20_EVENTS,   // event type 2, 141 rows, codes 0..159
    TABLE_KLR10_SETTINGS, // 159 rows, codes 3..239
    TABLE_KTR20_SETTINGS, // 252 rows, codes 0..255
};

// First row of the table (walk until nCode == -1).
const CNameRow* NameTableRows(NameTable eTable);
// Number of rows before the end marker.
int NameTableRowCount(NameTable eTable);

// Type 0 common, 1 KLR10, 2 KTR20. Returns 1 and assigns the name to strName, or -1 and leaves
// strName untouched when the type is not 0, 1 or 2 or the code is not in the table.
int LookupEventName(std::uint8_t nType, std::uint8_t nCode, std::string& strName);

// The name of the setting code in the model's table (KTR20 table for KTR20, else KLR10), or
// nullptr when the code is not in it.
const char* LookupSettingName(std::uint8_t nCode, DeviceModel eModel);

} // namespace relvane
