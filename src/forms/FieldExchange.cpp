#include "forms/FieldExchange.h"

#include <QRegularExpression>
#include <limits>

namespace relvane
{

namespace
{

enum class EParse
{
    Ok,
    NotNumber,
    Overflow
};

// Whole decimal number with an optional sign; nothing but white space may surround it.
EParse ParseWhole(const QString& strText, bool bAllowSign, long long& nValue)
{
    const QString strTrimmed = strText.trimmed();
    qsizetype i = 0;
    bool bNegative = false;
    if (i < strTrimmed.size() && (strTrimmed[i] == u'+' || strTrimmed[i] == u'-'))
    {
        if (!bAllowSign)
            return EParse::NotNumber;
        bNegative = strTrimmed[i] == u'-';
        ++i;
    }
    if (i >= strTrimmed.size())
        return EParse::NotNumber;
    unsigned long long nMagnitude = 0;
    bool bOverflow = false;
    for (; i < strTrimmed.size(); ++i)
    {
        const char16_t c = strTrimmed[i].unicode();
        if (c < u'0' || c > u'9')
            return EParse::NotNumber;
        if (nMagnitude > (std::numeric_limits<unsigned long long>::max() - 9) / 10)
            bOverflow = true;
        else
            nMagnitude = nMagnitude * 10 + static_cast<unsigned>(c - u'0');
    }
    if (bOverflow || nMagnitude > static_cast<unsigned long long>(std::numeric_limits<int>::max()) + 1)
        return EParse::Overflow;
    long long n = static_cast<long long>(nMagnitude);
    if (bNegative)
        n = -n;
    else if (n > std::numeric_limits<int>::max())
        return EParse::Overflow;
    // An unsigned 32-bit field holds more than an int, but every unsigned field here is
    // bounded far below that; treat anything larger as out of range.
    nValue = n;
    return EParse::Ok;
}

} // namespace

QString MessageNotInteger()
{
    return QStringLiteral("请键入一个整数。");
}

QString MessageNotPositiveInteger()
{
    return QStringLiteral("“请填入一个正整数。”");
}

QString MessageRange(long long nLower, long long nUpper)
{
    return QStringLiteral("“请填入一个在%1和%2之间的整数。”").arg(nLower).arg(nUpper);
}

QString NamedFieldMessage(const QString& strLabel, const QString& strMessage)
{
    QString strName = strLabel;
    // An accelerator in brackets ("(&G)") is no part of the name; a bare one loses its mark.
    strName.remove(QRegularExpression(QStringLiteral("\\(&.\\)")));
    strName.remove(u'&');
    strName = strName.trimmed();
    while (!strName.isEmpty() &&
           (strName.endsWith(u':') || strName.endsWith(u'：') || strName.endsWith(u'∶')))
        strName = strName.chopped(1).trimmed();
    return strName.isEmpty() ? strMessage : strName + QStringLiteral(": ") + strMessage;
}

QString ReadSignedField(const QString& strText, int& nValue)
{
    long long n = 0;
    if (ParseWhole(strText, true, n) != EParse::Ok)
        return MessageNotInteger();
    nValue = static_cast<int>(n);
    return {};
}

QString ReadSignedField(const QString& strText, long long nLower, long long nUpper, int& nValue)
{
    long long n = 0;
    switch (ParseWhole(strText, true, n))
    {
    case EParse::NotNumber:
        return MessageNotInteger();
    case EParse::Overflow:
        return MessageRange(nLower, nUpper);
    case EParse::Ok:
        break;
    }
    if (n < nLower || n > nUpper)
        return MessageRange(nLower, nUpper);
    nValue = static_cast<int>(n);
    return {};
}

QString ReadUnsignedField(const QString& strText, long long nLower, long long nUpper, int& nValue)
{
    long long n = 0;
    switch (ParseWhole(strText, false, n))
    {
    case EParse::NotNumber:
        return MessageNotPositiveInteger();
    case EParse::Overflow:
        return MessageRange(nLower, nUpper);
    case EParse::Ok:
        break;
    }
    if (n < nLower || n > nUpper)
        return MessageRange(nLower, nUpper);
    nValue = static_cast<int>(n);
    return {};
}

QString ReadByteField(const QString& strText, int nLower, int nUpper, int& nValue)
{
    long long n = 0;
    if (ParseWhole(strText, true, n) != EParse::Ok || n < 0 || n > 255)
        return MessageRange(0, 255);
    if (n < nLower || n > nUpper)
        return MessageRange(nLower, nUpper);
    nValue = static_cast<int>(n);
    return {};
}

} // namespace relvane
