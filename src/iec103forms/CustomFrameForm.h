#pragma once

#include "forms/FormDialog.h"

#include <cstdint>
#include <vector>

class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace relvane
{

class CCustomFrame;

enum : int
{
    IDC_FRAME_TEXT = 1041,
    IDC_FRAME_DECIMAL = 1048,
    IDC_FRAME_HEX = 1049,
    IDC_FRAME_CHECKSUM = 1050,
    IDC_FRAME_CLEAR = 1040
};

// A whole 103 frame typed as bytes. The form edits the caller's stored frame in place: OK stores
// the parsed text, "计算校验和" the completed frame and "清除" an empty one, even if the form is
// cancelled afterwards.
class CustomFrameForm : public CFormDialog
{
    Q_OBJECT

public:
    CustomFrameForm(CCustomFrame& frame, QWidget* pParent = nullptr);

    // The base and the checksum button are set before opening; the text shows the stored frame.
    void SetHex(bool bHex);
    void SetChecksumButtonShown(bool bShown);
    bool IsHex() const;

    void accept() override;
    void OnCompleteChecksum();
    void OnClear();

private:
    void ShowFrame();
    // The user picked the other base: what is typed is written in it, or the base stays when
    // the text holds something that is no byte.
    void OnBaseClicked(bool bHex);
    // The typed bytes, or false after saying which token is no byte.
    bool CheckedBytes(std::vector<std::uint8_t>& abBytes);

    CCustomFrame& m_frame;
    QPlainTextEdit* m_pText = nullptr;
    QRadioButton* m_pDecimal = nullptr;
    QRadioButton* m_pHex = nullptr;
    QPushButton* m_pChecksum = nullptr;
    bool m_bHexShown = true; // the base the text is written in
};

} // namespace relvane
