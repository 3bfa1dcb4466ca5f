#include "app/record/RecordFiles.h"

#include "app/RegularFile.h"

#include <QDir>
#include <QFileInfo>

namespace relvane
{
namespace
{

// Bounds far beyond any record a relay makes (a 2,000-line configuration; a minute at 10 kHz of
// 64 channels is 80 MB), so that a wrong file is refused before it is read into memory.
constexpr qint64 kMostConfigBytes = 16 * 1024 * 1024;
constexpr qint64 kMostDataBytes = qint64(1) << 30;

// NAME.ext of the pair, as the folder spells it (cfg, CFG, Cfg): the first that exists.
QString Partner(const QFileInfo& info, const QString& strExtension)
{
    const QDir dir = info.dir();
    const QString strBase = info.completeBaseName();
    for (const QString& strExt : {strExtension, strExtension.toUpper()})
    {
        const QString strPath = dir.filePath(strBase + QStringLiteral(".") + strExt);
        if (QFileInfo::exists(strPath))
            return strPath;
    }
    for (const QFileInfo& entry : dir.entryInfoList({strBase + QStringLiteral(".*")}, QDir::Files))
    {
        if (entry.suffix().compare(strExtension, Qt::CaseInsensitive) == 0 &&
            entry.completeBaseName() == strBase)
            return entry.filePath();
    }
    return dir.filePath(strBase + QStringLiteral(".") + strExtension);
}

bool ReadWhole(const QString& strPath, qint64 nMost, QByteArray& abBytes, QString& strError)
{
    QFile file;
    qint64 nSize = 0;
    const QString strName = QFileInfo(strPath).fileName();
    switch (OpenRegularFile(strPath, file, nSize))
    {
    case ERegularFile::Missing:
        strError = QStringLiteral("找不到文件 ") + strName;
        return false;
    case ERegularFile::NotRegular:
        strError = QStringLiteral("无法打开文件 ") + strName;
        return false;
    case ERegularFile::Opened:
        break;
    }
    if (nSize > nMost)
    {
        strError =
            strName + QStringLiteral(": 文件太大 (") + QString::number(nSize) + QStringLiteral(" 字节)");
        return false;
    }
    // What is there now, not what the size said when it opened: a file may change meanwhile.
    abBytes = file.read(nMost + 1);
    if (file.error() != QFileDevice::NoError)
    {
        strError = QStringLiteral("无法读取文件 ") + strName + QStringLiteral(": ") + file.errorString();
        return false;
    }
    if (abBytes.size() > nMost)
    {
        strError = strName + QStringLiteral(": 文件太大");
        return false;
    }
    return true;
}

} // namespace

QString ComtradeFilter()
{
    return QStringLiteral("COMTRADE录波 (*.cfg *.CFG *.dat *.DAT);;所有文件 (*)");
}

bool ReadComtradeFiles(const QString& strPath, CComtradeRecord& record, QString& strError)
{
    const QFileInfo info(strPath);
    const QString strConfig = Partner(info, QStringLiteral("cfg"));
    const QString strData = Partner(info, QStringLiteral("dat"));
    QByteArray abConfig;
    QByteArray abData;
    std::string strReason;
    if (!ReadWhole(strConfig, kMostConfigBytes, abConfig, strError))
        return false;
    if (!ParseComtradeConfig(
            std::string_view(abConfig.constData(), static_cast<std::size_t>(abConfig.size())), record,
            strReason))
    {
        strError = QFileInfo(strConfig).fileName() + QStringLiteral(": ") + QString::fromStdString(strReason);
        return false;
    }
    if (!ReadWhole(strData, kMostDataBytes, abData, strError))
        return false;
    if (!ParseComtradeData(reinterpret_cast<const std::uint8_t*>(abData.constData()),
                           static_cast<std::size_t>(abData.size()), record, strReason))
    {
        strError = QFileInfo(strData).fileName() + QStringLiteral(": ") + QString::fromStdString(strReason);
        return false;
    }
    return true;
}

} // namespace relvane
