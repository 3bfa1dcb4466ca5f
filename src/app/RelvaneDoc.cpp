#include "app/RelvaneDoc.h"

#include "app/RtfText.h"
#include "session/LogDocument.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextDocument>

namespace relvane
{

namespace
{
// A log file larger than this is not a log this program wrote; refuse rather than stall.
constexpr qint64 kMaxLogFileBytes = 256LL * 1024 * 1024;
} // namespace

CRelvaneDoc::CRelvaneDoc(CLogDocument& log) : m_log(log) {}

QString CRelvaneDoc::Title() const
{
    return m_strPathName.isEmpty() ? QStringLiteral("无标题") : QFileInfo(m_strPathName).fileName();
}

void CRelvaneDoc::OnNewDocument()
{
    m_log.Clear();
    m_log.Document()->clearUndoRedoStacks();
    m_log.Prepare();
    m_strPathName.clear();
}

bool CRelvaneDoc::OnOpenDocument(const QString& strPath, QString& strError)
{
    QFile file(strPath);
    if (!file.exists())
    {
        strError = QStringLiteral("无法找到该文件。\n请验证给出的路径和文件名是否正确。");
        return false;
    }
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxLogFileBytes)
    {
        strError = QStringLiteral("打开文档失败。");
        return false;
    }
    const QByteArray abData = file.readAll();
    // Read straight into the log: a copy of a big log costs as much again.
    if (!m_log.Replace([&abData](QTextDocument& document) { return ReadRtf(abData, document); }))
    {
        strError = QStringLiteral("打开文档失败。");
        return false;
    }
    m_log.Prepare();
    m_strPathName = QFileInfo(strPath).absoluteFilePath();
    AddRecentFile(m_strPathName);
    return true;
}

bool CRelvaneDoc::OnSaveDocument(const QString& strPath, QString& strError)
{
    m_log.Flush();
    QSaveFile file(strPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(BuildRtf(*m_log.Document())) < 0 || !file.commit())
    {
        strError = QStringLiteral("保存文档失败。");
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
