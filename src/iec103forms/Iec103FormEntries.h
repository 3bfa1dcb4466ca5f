#pragma once

#include <QStringList>

namespace relvane
{

// List entries of the 103 command forms, in the order the lists show them.
const QStringList& KodEntries();
const QStringList& DataTypeEntries();
const QStringList& GenericDataInfEntries();
const QStringList& GenericIdentificationInfEntries();
const QStringList& TooEntries(int nAsdu); // 24: disturbance order, 25: acknowledgement
const QStringList& DcoEntries();

// LeadingNumber of a form text.
int LeadingNumberOf(const QString& strText);

} // namespace relvane
