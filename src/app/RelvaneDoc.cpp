#include "app/RelvaneDoc.h"

#include "app/RegularFile.h"
#include "common/WholeFile.h"
#include "rtf/RtfText.h"
#include "session/LogDocument.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextDocument>
#include <algorithm>
#include <new>

namespace relvane
{

CRelvaneDoc::CRelvaneDoc(CLogDocument& log, qint64 nMaxFileBytes) : m_log(log), m_nMaxFileBytes(nMaxFileBytes) {}

QString CRelvaneDoc::OpenFailedText(const QString& strPath)
{
    return QStringLiteral("打开文档失败。\n") + QDir::toNativeSeparators(strPath);
}

QString CRelvaneDoc::SaveFailedText(bool bDiskFull)
{
    return bDiskFull ? QStringLiteral("目的磁盘驱动器已满。") : QStringLiteral("保存文档失败。");
}

QString CRelvaneDoc::TooBigText(qint64 nBytes, qint64 nLimit)
{
    return QStringLiteral("日志文件有 %1 字节, 超过可以打开的 %2 字节。").arg(nBytes).arg(nLimit);
}

QString CRelvaneDoc::Title() const
{
    return m_strPathName.isEmpty() ? QStringLiteral("无标题") : QFileInfo(m_strPathName).fileName();
}

void CRelvaneDoc::OnNewDocument()
{
    m_log.Discard();
    m_log.Document()->clearUndoRedoStacks();
    m_log.Prepare();
    m_strPathName.clear();
}

bool CRelvaneDoc::OnOpenDocument(const QString& strPath, QString& strError)
{
    QFile file;
    qint64 nSize = 0;
    switch (OpenRegularFile(strPath, file, nSize))
    {
    case ERegularFile::Missing:
        strError = QStringLiteral("无法找到该文件。\n请验证给出的路径和文件名是否正确。");
        return false;
    case ERegularFile::NotRegular:
        strError = OpenFailedText(strPath);
        return false;
    case ERegularFile::Opened:
        break;
    }
    if (nSize > m_nMaxFileBytes)
    {
        strError = OpenFailedText(strPath) + u'\n' + TooBigText(nSize, m_nMaxFileBytes);
        return false;
    }
    bool bRead = false;
    try
    {
        // A file that grows while it is read is read only up to the limit.
        const QByteArray abData = file.read(std::min<qint64>(nSize, m_nMaxFileBytes) + 1);
        // Read straight into the log: a copy of a big log costs as much again.
        bRead = file.error() == QFileDevice::NoError && abData.size() <= m_nMaxFileBytes &&
                m_log.Replace([&abData](QTextDocument& document) { return ReadRtf(abData, document); });
    }
    catch (const std::bad_alloc&)
    {
        bRead = false; // more than this machine's memory holds
    }
    if (!bRead)
    {
        strError = OpenFailedText(strPath);
        return false;
    }
    m_log.Prepare();
    m_strPathName = QFileInfo(strPath).absoluteFilePath();
    AddRecentFile(m_strPathName);
    return true;
}

bool CRelvaneDoc::OnSaveDocument(const QString& strPath, QString& strError,
                                 const std::function<void(const QString&)>& fnWarn)
{
    m_log.Flush();
    const QByteArray abRtf = BuildRtf(*m_log.Document());
    if (abRtf.size() > m_nMaxFileBytes && fnWarn)
        fnWarn(TooBigText(abRtf.size(), m_nMaxFileBytes));
    CWholeFile file;
    if (!file.Open(strPath.toStdString()) ||
        !file.Write(abRtf.constData(), static_cast<std::size_t>(abRtf.size())) || !file.Commit())
    {
        strError = SaveFailedText(file.DiskFull());
        return false;
    }
    m_strPathName = QFileInfo(strPath).absoluteFilePath();
    AddRecentFile(m_strPathName);
    return true;
}

void CRelvaneDoc::SetRecentFiles(const QStringList& files)
{
    m_recentFiles = files.mid(0, kRecentFiles);
}

void CRelvaneDoc::AddRecentFile(const QString& strPath)
{
    m_recentFiles.removeAll(strPath);
    m_recentFiles.prepend(strPath);
    while (m_recentFiles.size() > kRecentFiles)
        m_recentFiles.removeLast();
}

void CRelvaneDoc::RemoveRecentFile(const QString& strPath)
{
    m_recentFiles.removeAll(strPath);
}

} // namespace relvane
