#pragma once

#include "disturbance/ComtradeReader.h"

#include <QString>
#include <string>

namespace relvane
{

// The configuration and data of the record a path names (either file of the pair, or the base
// name): NAME.cfg and NAME.dat beside it, the extensions in either case. Each file is opened
// only when it is a regular file. False with a message that names the file, the line and the
// field ("X.cfg: 第3行 a: 不是数字 “x”").
bool ReadComtradeFiles(const QString& strPath, CComtradeRecord& record, QString& strError);

// A name or unit of a record as text: UTF-8 where the bytes are UTF-8 (2013, and ASCII), else GBK,
// as Chinese recorders write them.
QString RecordText(const std::string& strBytes);

// The file-type filter of the open dialog.
QString ComtradeFilter();

} // namespace relvane
