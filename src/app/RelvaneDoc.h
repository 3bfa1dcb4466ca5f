#pragma once

#include <QString>
#include <QStringList>
#include <functional>

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
    // The largest file opened as a log: the RTF of the longest text the log can hold (2^31
    // characters, its positions being 32-bit) at the most the writer spends on one (an escaped
    // character with its fallback bytes and colour, under 32 bytes). Whatever the window saved
    // opens again, memory permitting; a file beyond is refused with its size.
    static constexpr qint64 kMaxLogFileBytes = 64LL * 1024 * 1024 * 1024;

    explicit CRelvaneDoc(CLogDocument& log, qint64 nMaxFileBytes = kMaxLogFileBytes);

    QString Title() const;
    const QString& PathName() const { return m_strPathName; }

    void OnNewDocument();
    // On failure the message for the user is returned and the log and title stay as they were.
    // Only regular files are opened: a device or a pipe would never end.
    bool OnOpenDocument(const QString& strPath, QString& strError);
    // The file is replaced only when every byte is on the disk; otherwise the old file stays and
    // the message says why (a full disk has its own). A log too big to be opened again is
    // saved after fnWarn was told so.
    bool OnSaveDocument(const QString& strPath, QString& strError,
                        const std::function<void(const QString&)>& fnWarn = {});

    // The texts of the failures, shared with printing to a file.
    static QString OpenFailedText(const QString& strPath);
    static QString SaveFailedText(bool bDiskFull);
    static QString TooBigText(qint64 nBytes, qint64 nLimit);

    const QStringList& RecentFiles() const { return m_recentFiles; }
    void SetRecentFiles(const QStringList& files);
    void AddRecentFile(const QString& strPath);
    void RemoveRecentFile(const QString& strPath);

private:
    CLogDocument& m_log;
    qint64 m_nMaxFileBytes;
    QString m_strPathName;
    QStringList m_recentFiles;
};

} // namespace relvane
