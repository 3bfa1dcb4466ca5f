#include "QtTestMain.h"

// The forms need nothing beyond the offscreen application.
void relvane::test::PrepareTestApplication() {}
