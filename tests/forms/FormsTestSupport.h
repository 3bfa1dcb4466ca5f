#pragma once

#include "forms/FormDialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QStringList>
#include <gtest/gtest.h>

namespace relvane::test
{

// Message boxes the forms showed since the fixture started (no box is ever opened).
class FormTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetMessageHook([this](QWidget*, const QString& strText) { m_messages << strText; });
    }
    void TearDown() override { SetMessageHook({}); }

    template <typename T> static T* Get(const CFormDialog& form, int nControlId)
    {
        T* pControl = qobject_cast<T*>(form.Control(nControlId));
        EXPECT_NE(pControl, nullptr) << "control " << nControlId;
        return pControl;
    }
    static void SetText(const CFormDialog& form, int nControlId, const QString& strText)
    {
        Get<QLineEdit>(form, nControlId)->setText(strText);
    }
    static QString Text(const CFormDialog& form, int nControlId)
    {
        return Get<QLineEdit>(form, nControlId)->text();
    }
    static void Click(const CFormDialog& form, int nControlId)
    {
        Get<QAbstractButton>(form, nControlId)->click();
    }
    static QStringList Items(const CFormDialog& form, int nControlId)
    {
        QStringList items;
        auto* pBox = Get<QComboBox>(form, nControlId);
        for (int i = 0; pBox && i < pBox->count(); ++i)
            items << pBox->itemText(i);
        return items;
    }
    // Shows the form without a modal loop so that a test can drive it and read the result.
    static void Open(CFormDialog& form)
    {
        form.show();
        QApplication::processEvents();
    }
    static bool FocusIs(const CFormDialog& form, int nControlId)
    {
        return form.focusWidget() == form.Control(nControlId);
    }

    QStringList m_messages;
};

} // namespace relvane::test
