#pragma once

#include <QString>

namespace relvane
{

// The standard texts of a refused form field.
QString MessageNotInteger();         // signed field holding no number
QString MessageNotPositiveInteger(); // unsigned field holding no number
QString MessageRange(long long nLower, long long nUpper);

// The message of a refused field as the form shows it: the field's name in front (its label
// without an accelerator or a closing colon), so that the user knows which of several fields is
// meant; the message as it is when the field has no name.
QString NamedFieldMessage(const QString& strLabel, const QString& strMessage);

// Outcome of reading a form: nControlId 0 when every field passed, otherwise the
// control of the first refused field and the message to show for it.
struct CExchangeError
{
    int nControlId = 0;
    QString strMessage;

    bool IsOk() const { return nControlId == 0; }
};

// Each reader takes an edit text as typed (surrounding white space allowed) and either stores
// the value and returns an empty string, or returns the message for the field.
QString ReadSignedField(const QString& strText, int& nValue);
QString ReadSignedField(const QString& strText, long long nLower, long long nUpper, int& nValue);
QString ReadUnsignedField(const QString& strText, long long nLower, long long nUpper, int& nValue);
// A whole byte: anything that is not a number from 0 to 255 gets the 0..255 message; a
// narrower range (e.g. 1..255) is then checked with the range message.
QString ReadByteField(const QString& strText, int nLower, int nUpper, int& nValue);

} // namespace relvane
