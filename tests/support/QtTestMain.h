#pragma once

namespace relvane::test
{

// The main of the widget tests runs them offscreen under a QApplication, without the offscreen
// platform's notes about window features it lacks. Each test program defines this to finish
// setting up the application before the first test.
void PrepareTestApplication();

} // namespace relvane::test
