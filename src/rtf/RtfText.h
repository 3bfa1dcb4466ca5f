#pragma once

#include <QByteArray>

class QTextDocument;

namespace relvane
{

// The log as RTF: plain text runs with their colours, paragraphs and line breaks, in the log
// font ("宋体" 10.5 pt, GB2312 character set), every non-ASCII character as \uN followed by its
// GBK bytes (\uc2) for readers without Unicode. Reading it back gives the same document, so
// writing that again gives the same bytes.
QByteArray BuildRtf(const QTextDocument& document);

// Reads RTF into the (emptied) document: text, \par, \line, \tab, \page and \sect (as paragraph
// ends), the quote, dash and bullet words, \uN, and \'hh in the code page of the current font's
// \fcharset or \cpg (else \ansicpg, 936 when none is given), with the colours of \cf (an empty
// colour-table entry is the automatic colour, black). Binary data (\binN) and destinations that
// are not text (\*, info, pictures, headers, ...) are skipped. False when the data do not begin
// like RTF; the document is then left alone. A stretch longer than kLongestWord characters in
// which a layout finds no place to break a line (no blank between letters, digits or Han
// ideographs, no line end: see CLongWordGuard) gets a line break after every kLongestWord
// characters, so that laying it out costs time in proportion to its length; no character is lost.
constexpr int kLongestWord = 1024;
bool ReadRtf(const QByteArray& abRtf, QTextDocument& document);

} // namespace relvane
