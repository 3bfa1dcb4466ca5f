#pragma once

namespace relvane
{

// Qt's own Chinese texts (qtbase_zh_CN from Qt's translations folder) for the standard dialogs
// and message-box buttons, whatever the user's locale: the program speaks Chinese throughout.
// Qt's widget dialogs are used rather than the desktop's, which would follow the locale. False
// when the translation file is missing; Qt then speaks English.
bool InstallQtChineseTranslations();

} // namespace relvane
