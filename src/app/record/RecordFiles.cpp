#include "app/record/RecordFiles.h"

#include "app/RegularFile.h"
#include "common/GbkDecoder.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>

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

QString RecordText(const std::string& strBytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString strText = utf8(QByteArrayView(strBytes.data(), static_cast<qsizetype>(strBytes.size())));
    if (!utf8.hasError())
        return strText;
    CGbkDecoder gbk;
    std::string strUtf8;
    for (std::size_t i = 0; i < strBytes.size(); ++i)
    {
        const auto c = static_cast<std::uint8_t>(strBytes[i]);
        char abOut[8];
        std::size_t nOut = 0;
        if (c < 0x80)
            strUtf8 += static_cast<char>(c);
        else if (i + 1 < strBytes.size() &&
                 gbk.Decode(c, static_cast<std::uint8_t>(strBytes[i + 1]), abOut, nOut))
        {
            strUtf8.append(abOut, nOut);
            ++i;
        }
        else
            strUtf8 += "\xEF\xBF\xBD"; // U+FFFD
    }
    return QString::fromStdString(strUtf8);
}

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
