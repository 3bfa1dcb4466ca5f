#include "rtf/RtfCodePage.h"

#include <QStringEncoder>

namespace relvane
{

namespace
{

QByteArray CodecName(int nCodePage)
{
    switch (nCodePage)
    {
    case 936:
        return "GBK";
    case 950:
        return "Big5";
    case 932:
        return "Shift_JIS";
    case 949:
        return "windows-949";
    case 10000:
        return "macintosh";
    case 437:
        return "IBM437";
    case 65001:
        return "UTF-8";
    default:
        return "windows-" + QByteArray::number(nCodePage);
    }
}

} // namespace

bool EncodeGbk(char16_t c, QByteArray& abBytes)
{
    QStringEncoder encoder("GBK");
    abBytes = encoder.encode(QStringView(&c, 1));
    return encoder.isValid() && !encoder.hasError();
}

CCodePageDecoder::CCodePageDecoder(int nCodePage)
    : m_nCodePage(static_cast<unsigned>(nCodePage)),
      m_decoder(CodecName(nCodePage).constData(), QStringConverter::Flag::Stateless)
{
}

bool CCodePageDecoder::IsValid() const
{
    return m_nCodePage != 0 && m_decoder.isValid();
}

QString CCodePageDecoder::Decode(QByteArrayView abBytes)
{
    return m_decoder.decode(abBytes);
}

} // namespace relvane
