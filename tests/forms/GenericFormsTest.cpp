#include "FormsTestSupport.h"
#include "iec103/GenericList.h"
#include "iec103forms/GenericDataForm.h"
#include "iec103forms/GenericIdentificationForm.h"
#include "iec103forms/Iec103FormEntries.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>

using namespace relvane;
using relvane::test::FormTest;

using GenericFormsTest = FormTest;

TEST_F(GenericFormsTest, DataFormOpensWithItsDefaults)
{
    CGenericList list;
    GenericDataForm form(list);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("通用分类数据"));
    EXPECT_EQ(Items(form, IDC_GENERIC_INF), GenericDataInfEntries());
    EXPECT_EQ(Get<QComboBox>(form, IDC_GENERIC_INF)->currentIndex(), 0);
    const QStringList kod = Items(form, IDC_GENERIC_KOD);
    ASSERT_EQ(kod.size(), 10);
    EXPECT_EQ(kod[4], QStringLiteral("5  精度"));
    EXPECT_EQ(Get<QComboBox>(form, IDC_GENERIC_KOD)->currentText(), QStringLiteral("1  实际值"));
    EXPECT_EQ(Get<QComboBox>(form, IDC_GENERIC_TYPE)->currentText(), QStringLiteral("3  UI  无符号整数"));
    EXPECT_EQ(Items(form, IDC_GENERIC_TYPE).size(), 3);
    EXPECT_EQ(Text(form, IDC_GENERIC_GROUP), QStringLiteral("5"));
    EXPECT_EQ(Text(form, IDC_GENERIC_WIDTH), QStringLiteral("2"));
    EXPECT_TRUE(Get<QRadioButton>(form, IDC_GENERIC_DECIMAL)->isChecked());
    EXPECT_EQ(Get<QLabel>(form, IDC_GENERIC_NGD)->text(), QStringLiteral("通用分类数据集数目  NGD :  0"));
}

TEST_F(GenericFormsTest, AddedDataSetsShowInBothForms)
{
    CGenericList list;
    {
        GenericDataForm form(list);
        Open(form);
        SetText(form, IDC_GENERIC_GID, QStringLiteral("1000"));
        Click(form, IDC_GENERIC_ADD);
        EXPECT_EQ(Get<QPlainTextEdit>(form, IDC_GENERIC_LIST)->toPlainText(),
                  QStringLiteral("05 01 01 03 02 01 E8 03 "));
        EXPECT_EQ(Get<QLabel>(form, IDC_GENERIC_NGD)->text(), QStringLiteral("通用分类数据集数目  NGD :  1"));
        Get<QComboBox>(form, IDC_GENERIC_INF)->setCurrentIndex(2);
        Click(form, 2); // cancel: the list keeps the data set
    }
    EXPECT_EQ(list.Used(), 9);
    GenericIdentificationForm other(list);
    EXPECT_EQ(Get<QPlainTextEdit>(other, IDC_GENERIC_LIST)->toPlainText(),
              QStringLiteral("05 01 01 03 02 01 E8 03 "));
    EXPECT_EQ(Get<QLabel>(other, IDC_GENERIC_NOG)->text(), QStringLiteral("通用分类标识数目  NOG :  1"));
}

TEST_F(GenericFormsTest, TypeForcesWidthAndNumberShownAfterAdd)
{
    CGenericList list;
    GenericDataForm form(list);
    Open(form);
    Get<QComboBox>(form, IDC_GENERIC_TYPE)->setCurrentIndex(1); // R32.23
    SetText(form, IDC_GENERIC_GID, QStringLiteral("1.5"));
    Click(form, IDC_GENERIC_ADD);
    EXPECT_EQ(Text(form, IDC_GENERIC_WIDTH), QStringLiteral("4"));
    EXPECT_EQ(Text(form, IDC_GENERIC_NUMBER), QStringLiteral("1"));
    EXPECT_EQ(form.Values().nWidth, 4);
}

TEST_F(GenericFormsTest, RefusedFieldAddsNothing)
{
    CGenericList list;
    GenericDataForm form(list);
    Open(form);
    SetText(form, IDC_GENERIC_NUMBER, QStringLiteral("0"));
    Click(form, IDC_GENERIC_ADD);
    EXPECT_EQ(m_messages, QStringList{QStringLiteral("数目: “请填入一个在1和255之间的整数。”")});
    EXPECT_TRUE(FocusIs(form, IDC_GENERIC_NUMBER));
    EXPECT_EQ(list.Count(), 0);
    SetText(form, IDC_GENERIC_GROUP, QStringLiteral("300"));
    Click(form, 1);
    EXPECT_EQ(m_messages.last(), QStringLiteral("组号: “请填入一个在0和255之间的整数。”"));
    EXPECT_TRUE(form.isVisible());
}

TEST_F(GenericFormsTest, ClearEmptiesListAndGidEvenWithARefusedField)
{
    CGenericList list;
    GenericDataForm form(list);
    Open(form);
    SetText(form, IDC_GENERIC_GID, QStringLiteral("7"));
    Click(form, IDC_GENERIC_ADD);
    ASSERT_EQ(list.Count(), 1);
    SetText(form, IDC_GENERIC_ENTRY, QStringLiteral("x"));
    Click(form, IDC_GENERIC_CLEAR);
    EXPECT_EQ(m_messages.size(), 1);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_TRUE(Text(form, IDC_GENERIC_GID).isEmpty());
    EXPECT_TRUE(Get<QPlainTextEdit>(form, IDC_GENERIC_LIST)->toPlainText().isEmpty());
    EXPECT_EQ(Get<QLabel>(form, IDC_GENERIC_NGD)->text(), QStringLiteral("通用分类数据集数目  NGD :  0"));
}

TEST_F(GenericFormsTest, DataFormYieldsTheChosenInf)
{
    CGenericList list;
    GenericDataForm form(list);
    Open(form);
    Get<QComboBox>(form, IDC_GENERIC_INF)->setCurrentIndex(1);
    Get<QRadioButton>(form, IDC_GENERIC_HEX)->setChecked(true);
    Click(form, 1);
    ASSERT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.Values().nInf, 250);
    EXPECT_TRUE(form.Values().bHex);
    // The INF entry is chosen afresh at every opening, the fields are kept.
    GenericDataForm again(list);
    again.SetValues(form.Values());
    EXPECT_EQ(Get<QComboBox>(again, IDC_GENERIC_INF)->currentIndex(), 0);
    EXPECT_TRUE(Get<QRadioButton>(again, IDC_GENERIC_HEX)->isChecked());
}

TEST_F(GenericFormsTest, IdentificationFormAddsAndYieldsInf)
{
    CGenericList list;
    GenericIdentificationForm form(list);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("通用分类标识"));
    EXPECT_EQ(Items(form, IDC_GENERIC_INF), GenericIdentificationInfEntries());
    EXPECT_EQ(Get<QComboBox>(form, IDC_GENERIC_INF)->currentText(),
              QStringLiteral("241  读一个组全部条目的值或属性"));
    Open(form);
    Click(form, IDC_GENERIC_ADD);
    Click(form, IDC_GENERIC_ADD);
    EXPECT_EQ(Get<QPlainTextEdit>(form, IDC_GENERIC_LIST)->toPlainText(),
              QStringLiteral("01 01 01 01 01 01 "));
    EXPECT_EQ(Get<QLabel>(form, IDC_GENERIC_NOG)->text(), QStringLiteral("通用分类标识数目  NOG :  2"));
    Click(form, 1);
    ASSERT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.Values().nInf, 241);

    GenericDataForm other(list);
    EXPECT_EQ(Get<QLabel>(other, IDC_GENERIC_NGD)->text(), QStringLiteral("通用分类数据集数目  NGD :  2"));
}
