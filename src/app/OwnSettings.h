#pragma once

#include <QFileInfo>
#include <QSettings>

namespace relvane
{

// Our own settings file (~/.config/relvane/relvane.ini): what the window keeps between runs
// beyond the recent files, which stay in the key of their own.
inline QSettings OwnSettings()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("relvane"),
                     QStringLiteral("relvane"));
}

// The folder the file dialogs start in: the one of the last file opened, saved or captured to.
inline QString LastFolder()
{
    return OwnSettings().value(QStringLiteral("file/lastFolder")).toString();
}

inline void RememberFolder(const QString& strFile)
{
    OwnSettings().setValue(QStringLiteral("file/lastFolder"), QFileInfo(strFile).absolutePath());
}

} // namespace relvane
