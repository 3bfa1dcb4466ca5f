#pragma once

#include <QString>
#include <QStringList>

namespace relvane
{

class CLogDocument;

// The log as a file: saved and opened as RTF, titled by its file name ("无标题" before the
// first save or open), with the list of the four logs used last. Opening and "新建" replace only
// the text; the session state stays. Nothing ever asks to save.
class CRelvaneDoc
{
public:
    static constexpr int kRecentFiles = 4;

    explicit CRelvaneDoc(CLogDocument& log);

    QString Title() const;
    const QString& PathName() const { return m_strPathName; }

    void OnNewDocument();
    // On failure the message for the user is returned and the log and title stay as they were.
    bool OnOpenDocument(const QString& strPath, QString& strError);
    bool OnSaveDocument(const QString& strPath, QString& strError);

    const QStringList& RecentFiles() const { return m_recentFiles; }
    void SetRecentFiles(const QStringList& files);
    void AddRecentFile(const QString& strPath);
    void RemoveRecentFile(const QString& strPath);

private:
    CLogDocument& m_log;
    QString m_strPathName;
    QStringList m_recentFiles;
};

} // namespace relvane
