#pragma once

#include <QFile>
#include <QString>

namespace relvane
{

enum class ERegularFile
{
    Opened,
    Missing,    // no such file
    NotRegular, // a folder, device or pipe, or it could not be opened
};

// Opens a file for reading only when it is a regular file, judged on what was opened rather than
// on what the name pointed to a moment before, and without blocking on a pipe that has no writer.
// nSize is the file's size when it opened.
ERegularFile OpenRegularFile(const QString& strPath, QFile& file, qint64& nSize);

} // namespace relvane
