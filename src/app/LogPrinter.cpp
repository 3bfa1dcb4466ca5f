#include "app/LogPrinter.h"

#include "app/RelvaneDoc.h"
#include "common/WholeFile.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QSettings>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>
#include <climits>

namespace relvane
{

namespace
{
constexpr double kMarginInches = 0.5; // 720 twips

QSettings ProfileSettings()
{
    return QSettings(QStringLiteral("Local AppWizard-Generated Applications"), QStringLiteral("Relvane"));
}

const QString& PreviewPagesKey()
{
    static const QString strKey = QStringLiteral("Settings/PreviewPages");
    return strKey;
}
} // namespace

namespace
{

// The longest piece of a paragraph laid out at once. The cost of a text layout grows faster than
// its length, so a paragraph of a million characters is laid out piece by piece; a piece ends
// after a space or line break near its end where there is one.
constexpr int kPieceChars = 4096;

int PieceEnd(const QString& strText, int nFrom)
{
    const int nLength = static_cast<int>(strText.size());
    if (nLength - nFrom <= kPieceChars)
        return nLength;
    int nEnd = nFrom + kPieceChars;
    for (int n = nEnd; n > nFrom + kPieceChars * 3 / 4; --n)
    {
        const QChar ch = strText.at(n - 1);
        if (ch == u' ' || ch == QChar::LineSeparator || ch == u'\t')
            return n;
    }
    if (strText.at(nEnd - 1).isHighSurrogate())
        --nEnd;
    return nEnd;
}

// The character formats of the block that fall within [nFrom, nEnd), counted from nFrom.
QList<QTextLayout::FormatRange> PieceFormats(const QList<QTextLayout::FormatRange>& formats, int nFrom, int nEnd)
{
    QList<QTextLayout::FormatRange> piece;
    for (const QTextLayout::FormatRange& range : formats)
    {
        const int nStart = std::max(range.start, nFrom);
        const int nStop = std::min(range.start + range.length, nEnd);
        if (nStart < nStop)
            piece.append({nStart - nFrom, nStop - nStart, range.format});
    }
    return piece;
}

// Puts lines on pages one after another, breaking between lines, and paints those of the pages
// to print. Nothing of a page is kept once the next one begins.
class CPagePainter
{
public:
    CPagePainter(QPainter& painter, QPagedPaintDevice& device, qreal dPageHeight, int nFirst, int nLast)
        : m_painter(painter), m_device(device), m_dPageHeight(dPageHeight), m_nFirst(nFirst), m_nLast(nLast)
    {
    }

    // False once a page could not be started.
    bool Place(const QTextLine& line)
    {
        const qreal dHeight = line.height();
        if (m_dTop > 0 && m_dTop + dHeight > m_dPageHeight)
        {
            ++m_nPage;
            m_dTop = 0;
        }
        if (m_nPage >= m_nFirst && m_nPage <= m_nLast)
        {
            if (m_nPainted >= 0 && m_nPainted != m_nPage && !m_device.newPage())
                return false;
            m_nPainted = m_nPage;
            line.draw(&m_painter, QPointF(0, m_dTop - line.y()));
        }
        m_dTop += dHeight;
        return true;
    }
    bool Done() const { return m_nPage > m_nLast; }

private:
    QPainter& m_painter;
    QPagedPaintDevice& m_device;
    const qreal m_dPageHeight;
    const int m_nFirst;
    const int m_nLast;
    int m_nPage = 0;
    int m_nPainted = -1;
    qreal m_dTop = 0;
};

// Lays the document out paragraph by paragraph, as wide as the page, and paints it: time and
// memory grow with the length of the log, whatever its length.
bool PaintPages(const QTextDocument& document, QPagedPaintDevice& device, int nFirst, int nLast)
{
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    painter.setPen(Qt::black); // the automatic colour
    const qreal dWidth = device.width();
    CPagePainter pages(painter, device, device.height(), nFirst, nLast);
    const QFont font = document.defaultFont();
    const QTextOption option = document.defaultTextOption();
    for (QTextBlock block = document.begin(); block.isValid() && !pages.Done(); block = block.next())
    {
        const QString strText = block.text();
        const QList<QTextLayout::FormatRange> formats = block.textFormats();
        int nFrom = 0;
        do
        {
            const int nEnd = PieceEnd(strText, nFrom);
            QTextLayout layout(strText.mid(nFrom, nEnd - nFrom), font, &device);
            layout.setTextOption(option);
            layout.setFormats(PieceFormats(formats, nFrom, nEnd));
            layout.beginLayout();
            qreal dY = 0;
            for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine())
            {
                line.setLeadingIncluded(true);
                line.setLineWidth(dWidth);
                line.setPosition(QPointF(0, dY));
                dY += line.height();
            }
            layout.endLayout();
            for (int n = 0; n < layout.lineCount() && !pages.Done(); ++n)
            {
                if (!pages.Place(layout.lineAt(n)))
                {
                    painter.end();
                    return false;
                }
            }
            nFrom = nEnd;
        } while (nFrom < strText.size() && !pages.Done());
    }
    return painter.end();
}

// A file that takes the place of the old one only when the whole PDF was written.
class CWholeFileDevice : public QIODevice
{
public:
    bool Open(const QString& strPath)
    {
        return m_file.Open(strPath.toStdString()) && open(QIODevice::WriteOnly);
    }
    bool Commit()
    {
        close();
        return m_file.Commit();
    }
    bool DiskFull() const { return m_file.DiskFull(); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* pData, qint64 nCount) override
    {
        return m_file.Write(pData, static_cast<std::size_t>(nCount)) ? nCount : -1;
    }

private:
    CWholeFile m_file;
};

// Prints into the printer's PDF file through a checked file: the printer's own file output does
// not notice a full disk.
bool PrintToPdfFile(const QTextDocument& document, QPrinter& printer, int nFirst, int nLast, QString* pError)
{
    CWholeFileDevice file;
    if (!file.Open(printer.outputFileName()))
    {
        if (pError != nullptr)
            *pError = CRelvaneDoc::SaveFailedText(file.DiskFull());
        return false;
    }
    QPdfWriter writer(&file);
    writer.setResolution(printer.resolution());
    writer.setPageLayout(printer.pageLayout());
    writer.setTitle(printer.docName());
    writer.setCreator(printer.creator());
    const bool bPainted = PaintPages(document, writer, nFirst, nLast);
    if (!bPainted || !file.Commit())
    {
        if (pError != nullptr)
            *pError = bPainted ? CRelvaneDoc::SaveFailedText(file.DiskFull()) : QStringLiteral("无法启动打印作业。");
        return false;
    }
    return true;
}

// Margins and colour of the printout, and the page range chosen in the print dialog (counted
// from 0 here).
void PreparePrinter(QPrinter& printer, int& nFirst, int& nLast)
{
    printer.setPageMargins(QMarginsF(kMarginInches, kMarginInches, kMarginInches, kMarginInches),
                           QPageLayout::Inch);
    printer.setColorMode(QPrinter::Color);
    const bool bRange = printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0;
    nFirst = bRange ? printer.fromPage() - 1 : 0;
    nLast = bRange ? std::max(printer.toPage(), printer.fromPage()) - 1 : INT_MAX;
}

} // namespace

bool PrintLogDocument(const QTextDocument& document, QPrinter& printer, QString* pError)
{
    int nFirst = 0;
    int nLast = 0;
    PreparePrinter(printer, nFirst, nLast);
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
        return PrintToPdfFile(document, printer, nFirst, nLast, pError);
    // QTextDocument::print would add two centimetres of its own and number the pages.
    if (PaintPages(document, printer, nFirst, nLast))
        return true;
    if (pError != nullptr)
        *pError = QStringLiteral("无法启动打印作业。");
    return false;
}

void PreviewLogDocument(const QTextDocument& document, QPrinter& printer)
{
    int nFirst = 0;
    int nLast = 0;
    PreparePrinter(printer, nFirst, nLast);
    PaintPages(document, printer, nFirst, nLast);
}

int StoredPreviewPages()
{
    return ProfileSettings().value(PreviewPagesKey()).toInt() == 2 ? 2 : 1;
}

void StorePreviewPages(int nPages)
{
    ProfileSettings().setValue(PreviewPagesKey(), nPages == 2 ? 2 : 1);
}

void ShowPreviewPages(QPrintPreviewDialog& dialog, int nPages)
{
    auto* pPreview = dialog.findChild<QPrintPreviewWidget*>();
    if (pPreview == nullptr)
        return;
    pPreview->setViewMode(nPages == 2 ? QPrintPreviewWidget::FacingPagesView
                                      : QPrintPreviewWidget::SinglePageView);
    // The dialog's own mode buttons follow only their own clicks: check the matching one.
    const QString strMode = nPages == 2
                                ? QCoreApplication::translate("QPrintPreviewDialog", "Show facing pages")
                                : QCoreApplication::translate("QPrintPreviewDialog", "Show single page");
    for (QAction* pAction : dialog.findChildren<QAction*>())
    {
        if (pAction->isCheckable() && pAction->text() == strMode)
            pAction->setChecked(true);
    }
}

int PreviewPagesShown(const QPrintPreviewDialog& dialog)
{
    const auto* pPreview = dialog.findChild<QPrintPreviewWidget*>();
    if (pPreview == nullptr)
        return 0;
    switch (pPreview->viewMode())
    {
    case QPrintPreviewWidget::SinglePageView:
        return 1;
    case QPrintPreviewWidget::FacingPagesView:
        return 2;
    default:
        return 0;
    }
}

} // namespace relvane
