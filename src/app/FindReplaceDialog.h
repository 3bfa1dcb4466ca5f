#pragma once

#include <QDialog>
#include <QTextDocument>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace relvane
{

class CLogEdit;

// The text area's find and replace: a modeless form over the log; F3 repeats the last search.
class CFindReplaceDialog : public QDialog
{
    Q_OBJECT

public:
    explicit CFindReplaceDialog(CLogEdit& edit, QWidget* pParent = nullptr);

    void OpenFind();
    void OpenReplace();
    // F3: the last searched text again, or the find form when there was none.
    void FindNext();

    QString FindWhat() const;
    QTextDocument::FindFlags Flags() const;

private:
    void SetReplaceMode(bool bReplace);
    void OnFind();
    void OnReplace();
    void OnReplaceAll();
    void Report(bool bFound);

    CLogEdit& m_edit;
    QLineEdit* m_pFind = nullptr;
    QLineEdit* m_pReplace = nullptr;
    QLabel* m_pReplaceLabel = nullptr;
    QCheckBox* m_pWholeWord = nullptr;
    QCheckBox* m_pMatchCase = nullptr;
    QPushButton* m_pReplaceButton = nullptr;
    QPushButton* m_pReplaceAllButton = nullptr;
};

} // namespace relvane
