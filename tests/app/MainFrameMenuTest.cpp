#include "FrameFixture.h"
#include "session/SessionCommands.h"

#include <QStatusBar>
#include <QStringList>

using namespace relvane;
using relvane::test::FrameFixture;

namespace
{

// The menu bar as "title:id,id,-,id" per popup ("-" a separator); a command on the bar itself
// is "=id".
QStringList DescribeMenuBar(QMenuBar* pBar)
{
    QStringList popups;
    for (QAction* pTop : pBar->actions())
    {
        QMenu* pMenu = pTop->menu();
        if (pMenu == nullptr)
        {
            popups << QStringLiteral("%1=%2").arg(pTop->text()).arg(pTop->data().toInt());
            continue;
        }
        QStringList items;
        for (QAction* pItem : pMenu->actions())
            items << (pItem->isSeparator() ? QStringLiteral("-") : QString::number(pItem->data().toInt()));
        popups << pMenu->title() + u':' + items.join(u',');
    }
    return popups;
}

QString DescribeToolBar(QToolBar* pBar)
{
    QStringList buttons;
    for (QAction* pAction : pBar->actions())
        buttons << (pAction->isSeparator() ? QStringLiteral("-") : QString::number(pAction->data().toInt()));
    return buttons.join(u',');
}

// Ours after the menu's own items: the disturbance record viewer.
const QString kFile = QStringLiteral("文件(&F):57600,57601,57603,57604,-,57607,57609,57606,-,57616,-,57665,-,32940");
const QString kMode = QStringLiteral("规约(&P):32771,32772,32773");
const QString kSerial = QStringLiteral("串口设置(&C):32777,32779,-,32778,-,32816,32818");
const QString kEdit = QStringLiteral("编辑(&E):57643,-,57635,57634,57637,-,32809");
// The menus' own items, then ours after them: time stamps, capture, the hints, asking to save, the
// full explanation and the line monitor under 选项, the statistics panel, the event list and the
// measurand trends under 查看.
const QString kOwnOptions = QStringLiteral(",-,32901,32902,32903,-,32904,32905,-,32911,32912,32930,-,32913");
// The Ethernet mode has no annotator, so nothing to explain either.
const QString kOwnOptionsEthernet =
    QStringLiteral(",-,32901,32902,32903,-,32904,32905,-,32911,32912,-,32913");
const QString kView = QStringLiteral("查看(&V):59393,32906,32942,32943");
const QString kHelp = QStringLiteral("帮助(&H):57664");
// Our own menu after the specified ones, in the serial modes: the test plans.
const QString kTest = QStringLiteral("测试(&T):32907");

} // namespace

TEST_F(FrameFixture, StartsWithTheMenuOfThe94Mode)
{
    const QStringList expected{
        kFile,
        kMode,
        kSerial,
        QStringLiteral("装置设置(&D):32776,-,32826,32827"),
        QStringLiteral("选项(&O):32806,32807,-,32817,32819") + kOwnOptions,
        QStringLiteral("命令(&M):32792,32793,32794,32795,32796,32797,32798,32799,-,32800,32801,-,32802,32803,"
                       "32804,32805,-,32820,32821,32822"),
        QStringLiteral("编辑(&E):57634,57635,57643,57637,-,32809"),
        kView,
        kHelp,
        kTest,
    };
    EXPECT_EQ(DescribeMenuBar(Frame().menuBar()), expected);
}

TEST_F(FrameFixture, EachModeShowsItsOwnMenu)
{
    Choose(ID_MODE_103);
    const QStringList expected103{
        kFile,
        kMode,
        kSerial,
        QStringLiteral("装置地址(&A)=32776"),
        QStringLiteral("选项(&O):32806,32807,-,32817,32819") + kOwnOptions,
        QStringLiteral(
            "命令(&C):32841,32842,32843,32844,32845,-,32849,32848,32853,-,32856,32854,-,32859,32860,-,"
            "32858,-,32914,32869"),
        kEdit,
        kView,
        kHelp,
        kTest,
    };
    EXPECT_EQ(DescribeMenuBar(Frame().menuBar()), expected103);

    Choose(ID_MODE_ETH103);
    const QStringList expectedEth{
        kFile,
        kMode,
        QStringLiteral("装置(&D):32829,-,32838"),
        QStringLiteral("TCP(&T):32870,32872,-,32873"),
        QStringLiteral("UDP(&U):32836,32866,32867,32868"),
        QStringLiteral("选项(&O):32806,32807") + kOwnOptionsEthernet,
        kEdit,
        kView,
        kHelp,
    };
    EXPECT_EQ(DescribeMenuBar(Frame().menuBar()), expectedEth);
}

TEST_F(FrameFixture, ToolbarsHoldTheirButtonsInOrder)
{
    EXPECT_EQ(DescribeToolBar(Frame().ToolBar(127)),
              QStringLiteral(
                  "57600,57601,57603,-,57635,57634,57637,-,57607,-,32778,32777,32779,32816,-,32809,-,57664"));
    EXPECT_EQ(
        DescribeToolBar(Frame().ToolBar(129)),
        QStringLiteral("32792,32793,32794,32795,32796,32798,32799,32797,-,32800,32801,-,32802,32803,32804,"
                       "32805,-,32820,32821,32822"));
    EXPECT_EQ(DescribeToolBar(Frame().ToolBar(131)),
              QStringLiteral(
                  "32841,32842,-,32843,32844,32845,-,32849,32848,32853,-,32856,32854,-,32859,32860,-,32869"));
    EXPECT_EQ(
        DescribeToolBar(Frame().ToolBar(140)),
        QStringLiteral("57600,57601,57603,-,57635,57634,57637,-,57607,-,32829,-,32838,-,32870,32873,-,32866,"
                       "32867,-,32809,-,57664"));
    for (const int nToolbar : {127, 129, 131, 140})
    {
        QToolBar* pBar = Frame().ToolBar(nToolbar);
        EXPECT_EQ(Frame().toolBarArea(pBar), Qt::TopToolBarArea) << nToolbar;
        EXPECT_TRUE(pBar->isMovable());
        EXPECT_EQ(pBar->allowedAreas(), Qt::AllToolBarAreas);
        EXPECT_EQ(pBar->iconSize(), QSize(16, 16));
        for (QAction* pAction : pBar->actions())
            EXPECT_TRUE(pAction->isSeparator() || !pAction->icon().isNull()) << pAction->data().toInt();
    }
    // Docked in the order main, '94: the '94 bar follows the main bar.
    QToolBar* pMain = Frame().ToolBar(127);
    QToolBar* p94 = Frame().ToolBar(129);
    EXPECT_TRUE(p94->y() > pMain->y() || (p94->y() == pMain->y() && p94->x() > pMain->x()));
}

TEST_F(FrameFixture, ModeDecidesWhichToolbarsShow)
{
    auto visible = [this]
    {
        QString str;
        for (const int nToolbar : {127, 129, 131, 140})
            str += Frame().ToolBar(nToolbar)->isVisible() ? u'1' : u'0';
        return str;
    };
    EXPECT_EQ(visible(), QStringLiteral("1100"));
    Choose(ID_MODE_103);
    EXPECT_EQ(visible(), QStringLiteral("1010"));
    Choose(ID_MODE_ETH103);
    EXPECT_EQ(visible(), QStringLiteral("0001"));
    Choose(ID_MODE_ETH103); // choosing the active mode again changes nothing
    EXPECT_EQ(visible(), QStringLiteral("0001"));
    Choose(ID_MODE_94);
    EXPECT_EQ(visible(), QStringLiteral("1100"));
}

TEST_F(FrameFixture, AcceleratorsWorkInEveryMode)
{
    auto keys = [this](int nId)
    {
        QStringList list;
        for (const QKeySequence& key : Frame().Action(nId)->shortcuts())
            list << key.toString(QKeySequence::PortableText);
        return list.join(u' ');
    };
    EXPECT_EQ(keys(57600), QStringLiteral("Ctrl+N"));
    EXPECT_EQ(keys(57601), QStringLiteral("Ctrl+O"));
    EXPECT_EQ(keys(57603), QStringLiteral("Ctrl+S"));
    EXPECT_EQ(keys(57607), QStringLiteral("Ctrl+P"));
    EXPECT_EQ(keys(57643), QStringLiteral("Ctrl+Z Alt+Backspace"));
    EXPECT_EQ(keys(57635), QStringLiteral("Ctrl+X Shift+Del"));
    EXPECT_EQ(keys(57634), QStringLiteral("Ctrl+C Ctrl+Ins"));
    EXPECT_EQ(keys(57637), QStringLiteral("Ctrl+V Shift+Ins"));
    EXPECT_EQ(keys(57642), QStringLiteral("Ctrl+A"));
    EXPECT_EQ(keys(57636), QStringLiteral("Ctrl+F"));
    EXPECT_EQ(keys(57641), QStringLiteral("Ctrl+H"));
    EXPECT_EQ(keys(57640), QStringLiteral("F3"));
    EXPECT_TRUE(keys(57860).startsWith(QStringLiteral("Alt+Return")));
    // The keys belong to the window itself, so hidden toolbars and swapped menus do not matter.
    Choose(ID_MODE_ETH103);
    for (const int nId : {57600, 57601, 57603, 57607, 57643, 57635, 57634, 57637, 57642, 57636, 57641, 57640})
    {
        EXPECT_TRUE(Frame().actions().contains(Frame().Action(nId))) << nId;
        EXPECT_EQ(Frame().Action(nId)->shortcutContext(), Qt::WindowShortcut);
    }
}

TEST_F(FrameFixture, CaptionsPromptsAndToolTips)
{
    EXPECT_EQ(Frame().windowTitle(), QStringLiteral("无标题 - Relvane"));
    QAction* pPoll = Frame().Action(32792);
    EXPECT_EQ(pPoll->text(), QStringLiteral("巡检(83H)"));
    EXPECT_EQ(pPoll->statusTip(), QStringLiteral("巡检"));
    EXPECT_EQ(pPoll->toolTip(), QStringLiteral("巡检"));
    EXPECT_EQ(Frame().Action(32821)->statusTip(), QStringLiteral("召唤最后录波步骤1"));
    EXPECT_EQ(Frame().Action(32849)->statusTip(), QStringLiteral("时间同步"));
    EXPECT_EQ(Frame().Action(32848)->text(), QStringLiteral("总查询 (ASDU7)"));
    EXPECT_EQ(Frame().Action(32848)->toolTip(), QStringLiteral("总查询"));
    EXPECT_EQ(Frame().Action(32836)->statusTip(), QStringLiteral("UDP时间间隔设置"));
    EXPECT_EQ(Frame().Action(32836)->text(), QStringLiteral("UDP发送时间间隔"));
    EXPECT_EQ(Frame().Action(59393)->text(), QStringLiteral("状态栏(&S)"));
    EXPECT_EQ(Frame().Action(59393)->toolTip(), QStringLiteral("显隐状态栏"));
    EXPECT_EQ(Frame().Action(57665)->statusTip(), QStringLiteral("退出应用程序；提示保存文档"));
    EXPECT_EQ(Frame().Action(32809)->statusTip(), QStringLiteral("清空"));
    EXPECT_TRUE(Frame().Action(32809)->property("noToolTip").toBool());
    EXPECT_TRUE(Frame().Action(32771)->statusTip().isEmpty());
    EXPECT_EQ(Frame().Action(32792)->objectName(), QStringLiteral("cmd_32792"));
}
