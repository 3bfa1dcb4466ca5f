#pragma once

#include <QByteArray>

class QTextDocument;

namespace relvane
{

// The log as RTF: plain text runs with their colours, paragraphs and line breaks, in the log
// font ("宋体" 10.5 pt, GB2312 character set), every non-ASCII character as \uN.
QByteArray BuildRtf(const QTextDocument& document);

// Reads RTF into the (emptied) document: text, \par, \line, \tab, \uN, \'hh in the code page
// of \ansicpg (936 when none is given), and the colours of \cf; other groups that are
// destinations (font and colour tables, \*, info, pictures) are skipped. False when the data do
// not begin like RTF; the document is then left alone.
bool ReadRtf(const QByteArray& abRtf, QTextDocument& document);

} // namespace relvane
