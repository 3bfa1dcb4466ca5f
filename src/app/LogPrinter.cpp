#include "app/LogPrinter.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QCoreApplication>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QSettings>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>
#include <memory>
#include <vector>

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

bool PrintLogDocument(const QTextDocument& document, QPrinter& printer)
{
    printer.setPageMargins(QMarginsF(kMarginInches, kMarginInches, kMarginInches, kMarginInches),
                           QPageLayout::Inch);
    printer.setColorMode(QPrinter::Color);
    QPainter painter;
    if (!painter.begin(&printer))
        return false;

    // QTextDocument::print would add two centimetres of its own and number the pages: lay out a
    // copy for the printer instead, as wide as the area within the margins.
    std::unique_ptr<QTextDocument> pCopy(document.clone());
    pCopy->setDocumentMargin(0);
    QAbstractTextDocumentLayout* pLayout = pCopy->documentLayout();
    pLayout->setPaintDevice(&printer);
    const QSizeF page(printer.width(), printer.height());
    pCopy->setTextWidth(page.width());
    pLayout->documentSize(); // lays out the whole text now, not as painting proceeds

    // Pages break between lines, so that no line is cut at a page's edge (or printed twice).
    std::vector<qreal> pageTops{0};
    for (QTextBlock block = pCopy->begin(); block.isValid(); block = block.next())
    {
        const QTextLayout* pBlockLayout = block.layout();
        for (int n = 0; n < pBlockLayout->lineCount(); ++n)
        {
            const QTextLine line = pBlockLayout->lineAt(n);
            const qreal dTop = pBlockLayout->position().y() + line.y();
            if (dTop + line.height() - pageTops.back() > page.height() && dTop > pageTops.back())
                pageTops.push_back(dTop);
        }
    }

    QAbstractTextDocumentLayout::PaintContext context;
    context.palette.setColor(QPalette::Text, Qt::black); // the automatic colour
    // The page range chosen in the print dialog, counted from 1.
    const bool bRange = printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0;
    const std::size_t nFirst = bRange ? static_cast<std::size_t>(printer.fromPage() - 1) : 0;
    const std::size_t nEnd =
        bRange ? std::min<std::size_t>(std::max(printer.toPage(), printer.fromPage()), pageTops.size())
               : pageTops.size();
    for (std::size_t n = nFirst; n < nEnd; ++n)
    {
        if (n > nFirst && !printer.newPage())
            return false;
        const qreal dTop = pageTops[n];
        const qreal dBottom = n + 1 < pageTops.size() ? pageTops[n + 1] : dTop + page.height();
        painter.save();
        painter.translate(0, -dTop);
        // The layout draws every line that touches the clip: the lines before and after the page
        // end on its upper edge and begin on its lower edge.
        context.clip = QRectF(0, dTop + 0.5, page.width(), std::min(dBottom - dTop, page.height()) - 1);
        painter.setClipRect(QRectF(0, dTop, page.width(), page.height()));
        pLayout->draw(&painter, context);
        painter.restore();
    }
    return painter.end();
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
