#pragma once

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace relvane
{

// Our own settings file (~/.config/relvane/relvane.ini): what the window keeps between runs
// beyond the recent files, which stay in the key of their own.
inline QSettings OwnSettings()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("relvane"),
                     QStringLiteral("relvane"));
}

// The folder the file dialogs start in: the one of the last file opened, saved or captured to,
// else the user's documents (or home) folder; never the working folder, which from a desktop
// shortcut is the program's own, where a user may not write.
inline QString LastFolder()
{
    const QString strLast = OwnSettings().value(QStringLiteral("file/lastFolder")).toString();
    if (!strLast.isEmpty() && QFileInfo(strLast).isDir())
        return strLast;
    const QString strDocuments = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !strDocuments.isEmpty() && QFileInfo(strDocuments).isDir() ? strDocuments : QDir::homePath();
}

inline void RememberFolder(const QString& strFile)
{
    OwnSettings().setValue(QStringLiteral("file/lastFolder"), QFileInfo(strFile).absolutePath());
}

} // namespace relvane
