#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

// The code pages of RTF text: GBK bytes for the writer's fallbacks, and the \'hh bytes of the
// reader in the code page of their font. Qt converts them where it has ICU; the Windows build
// has none, so there Windows' own tables do (RtfCodePageWin.cpp).
namespace relvane
{

// The GBK bytes of one UTF-16 unit; false when GBK has none for it.
bool EncodeGbk(char16_t c, QByteArray& abBytes);

// Decodes the bytes of one code page, each call on its own (no state between calls).
class CCodePageDecoder
{
public:
    explicit CCodePageDecoder(int nCodePage);
    // False when the code page is unknown here.
    bool IsValid() const;
    QString Decode(QByteArrayView abBytes);

private:
    unsigned m_nCodePage = 0;
    QStringDecoder m_decoder; // Qt's, where the build has it
};

} // namespace relvane
