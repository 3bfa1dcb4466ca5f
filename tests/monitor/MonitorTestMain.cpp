#include "QtTestMain.h"

namespace relvane::test
{

void PrepareTestApplication() {}

} // namespace relvane::test
