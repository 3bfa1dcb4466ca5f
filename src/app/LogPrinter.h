#pragma once

class QPrinter;
class QPrintPreviewDialog;
class QString;
class QTextDocument;

namespace relvane
{

// Prints the log as shown: its text and colours within half an inch (720 twips) of every edge of
// the paper, with no margin of the document's own and no page numbers. The text wraps at the
// width between the margins. The text is laid out a page at a time, so any log prints in time and
// memory that grow with its length. A PDF file replaces the old one only when it was written
// whole. False when the print job cannot start or its file cannot be written, with the message
// for the user in pError.
bool PrintLogDocument(const QTextDocument& document, QPrinter& printer, QString* pError = nullptr);
// The same pages for the print preview, which paints them itself: no file is ever written, even
// when the printer was set to print into one.
void PreviewLogDocument(const QTextDocument& document, QPrinter& printer);

// Pages shown at once by the print preview: the stored "PreviewPages" value of section
// "Settings" (1 or 2; anything else is 1), applied to and taken back from the preview dialog.
int StoredPreviewPages();
void StorePreviewPages(int nPages);
void ShowPreviewPages(QPrintPreviewDialog& dialog, int nPages);
// 1 or 2 for the single and facing views, 0 for the overview of all pages.
int PreviewPagesShown(const QPrintPreviewDialog& dialog);

} // namespace relvane
