#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTextCharFormat>
#include <QTextDocument>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace relvane
{

// The rich-text log the session writes and the window shows. Appends are queued and inserted
// together when control returns to the event loop (or on Flush), in one edit block, at most once
// per frame interval: entries arriving faster than the screen refreshes share one insertion, one
// scroll and one repaint. They are kept out of the undo history, which serves the user's own
// edits. A "\r\n" in appended text is one paragraph end; a lone "\n" (inside an annotation) is a
// line break within the paragraph.
class CLogDocument : public QObject
{
    Q_OBJECT

public:
    static constexpr int kPrintMarginTwips = 720; // half an inch on every side
    static constexpr double kFontPoints = 10.5;
    // Shortest time between two insertions of queued appends (about one frame at 60 Hz).
    static constexpr int kFlushIntervalMs = 16;

    explicit CLogDocument(QObject* pParent = nullptr);
    ~CLogDocument() override;

    // The document as the window shows, saves and prints it (queued appends may be pending:
    // call Flush before reading it outside the event loop).
    QTextDocument* Document() { return &m_document; }

    // Queues UTF-8 text in black or, for an annotation, in dark green.
    void AppendText(std::string_view strUtf8, bool bAnnotation);
    // Queues the byte text of a frame in black: "%.2X " per byte for format 1, "%.2d " for 0,
    // nothing for any other format.
    void AppendBytes(const std::uint8_t* pBytes, int nLength, int nFormat);
    // Removes the whole text, queued appends included (they go in first, between AboutToClear
    // and Cleared, so that a window can keep what goes for the user to have back).
    void Clear();
    // Removes the whole text and what is queued for a new log, as Replace does.
    void Discard();
    // Replaces the whole text with what fnRead writes into the document, outside the undo
    // history; queued appends go with the old text. fnRead returns false when it has left the
    // document alone, and then nothing changes.
    bool Replace(const std::function<bool(QTextDocument&)>& fnRead);
    // Inserts what is queued.
    void Flush();
    // The text with every paragraph end as "\r\n" and every line break as "\n" (UTF-8).
    std::string PlainText();
    // The same conversion for any raw document text, e.g. a selection (QTextCursor::selectedText)
    // on its way to the clipboard.
    static QString LogText(const QString& strRaw);
    // Default character format of the log: "宋体" 10.5 pt, regular, black.
    void Prepare();
    // Where the next appended text will start in the document (queued appends counted), so that
    // a caller can find an entry again, e.g. the frames a test case proved its verdict with.
    qsizetype EndPosition() const;

    // Sees every piece of text as it is queued, in the document's form (QChar paragraph and line
    // separators; LogText converts). The headless runner streams the log through it, so a run
    // that is killed has written out all it logged. Clearing the log does not take back what the
    // tap saw.
    using AppendTap = std::function<void(QStringView strPiece, bool bAnnotation)>;
    void SetAppendTap(AppendTap fnTap) { m_fnAppendTap = std::move(fnTap); }

    static QColor TextColour() { return QColor(0, 0, 0); }
    static QColor AnnotationColour() { return QColor(0, 128, 0); }

signals:
    // Text was inserted at the end (once per flush); the window moves its caret and scrolls.
    void Appended();
    // Around the removal of the whole text by Clear (the document holds the text until
    // AboutToClear returns).
    void AboutToClear();
    void Cleared();
    // The whole text was replaced by another log, or discarded.
    void Replaced();

private:
    struct CRun
    {
        QString strText;
        bool bAnnotation = false;
    };

    QString& PendingRun(bool bAnnotation);
    void Tap(const QString& strRun, qsizetype nFrom, bool bAnnotation) const;
    void ScheduleFlush();
    template <typename Edit> void EditOutsideUndo(Edit edit);
    void RemoveAll();

    QTextDocument m_document;
    QTextCharFormat m_textFormat;
    QTextCharFormat m_annotationFormat;
    std::vector<CRun> m_runs;
    QTimer m_flushTimer;
    AppendTap m_fnAppendTap;
    QElapsedTimer m_sinceFlush; // invalid until the first insertion
};

} // namespace relvane
