#include "app/VersionData.h"
#include "app/VersionValues.h"

namespace relvane
{

// Executables here carry no version resource: the values are the compiled-in ones.
const CVersionData& ProgramVersionData()
{
    static const CVersionData s_data =
        FormVersionData(QStringLiteral(RELVANE_LEGAL_NOTICE), QStringLiteral(RELVANE_PRODUCT_VERSION),
                        QStringLiteral(RELVANE_SPECIAL_BUILD));
    return s_data;
}

} // namespace relvane
