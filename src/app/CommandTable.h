#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>
#include <vector>

namespace relvane
{

// Identifiers of the window's own commands and of the text area's.
enum FrameCommandId : int
{
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_SAVE = 57603,
    ID_FILE_SAVE_AS = 57604,
    ID_FILE_PAGE_SETUP = 57605,
    ID_FILE_PRINT_SETUP = 57606,
    ID_FILE_PRINT = 57607,
    ID_FILE_PRINT_PREVIEW = 57609,
    ID_FILE_MRU_FILE1 = 57616,
    ID_EDIT_CLEAR = 57632,
    ID_EDIT_COPY = 57634,
    ID_EDIT_CUT = 57635,
    ID_EDIT_FIND = 57636,
    ID_EDIT_PASTE = 57637,
    ID_EDIT_REPEAT = 57640,
    ID_EDIT_REPLACE = 57641,
    ID_EDIT_SELECT_ALL = 57642,
    ID_EDIT_UNDO = 57643,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_OLE_EDIT_PROPERTIES = 57860,
    ID_VIEW_STATUS_BAR = 59393,
    // Our own: the test plans, in a menu after the specified ones.
    ID_TEST_PLAN = 32907,
    ID_INDICATOR_MESSAGE = 0,
    // Our own pane beside the specified ones: the link's state.
    ID_INDICATOR_LINK = 59160,
};

// What a menu item or toolbar button shows for a command.
struct CCommandText
{
    int nId = 0;
    QString strCaption; // menu text with its '&' mnemonic
    QString strPrompt;  // status-bar prompt; empty for none
    QString strToolTip; // empty for none
    QList<QKeySequence> shortcuts;
    bool bCheckable = false;
};

// Every command of the menus, toolbars, popup and accelerator table, by id.
const std::vector<CCommandText>& CommandTexts();
const CCommandText* FindCommandText(int nId);

// A popup of the menu bar (or, with no items and nCommandId set, a command on the bar itself).
struct CMenuPopup
{
    QString strTitle;
    std::vector<int> items; // 0 marks a separator
    int nCommandId = 0;
};

// The menu of each protocol mode: 129 ('94), 131 (103), 140 (Ethernet 103).
const std::vector<CMenuPopup>& ModeMenu(int nMode);

// Toolbars by resource: 127 main, 129 '94, 131 103, 140 Ethernet; 0 marks a separator.
enum ToolbarId : int
{
    IDR_MAINFRAME = 127,
    IDR_TOOLBAR_94 = 129,
    IDR_TOOLBAR_103 = 131,
    IDR_TOOLBAR_ETH = 140,
};
const std::vector<int>& ToolbarButtons(int nToolbar);

// Which toolbars a mode shows.
bool ToolbarVisibleInMode(int nToolbar, int nMode);

} // namespace relvane
