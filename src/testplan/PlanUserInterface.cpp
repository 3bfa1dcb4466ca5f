#include "testplan/PlanUserInterface.h"

#include "iec103/CustomFrame.h"
#include "iec103/GenericList.h"

namespace relvane
{
namespace
{

// Takes the queued answer of a form into fields: true (OK) when there was one.
template <typename Fields> bool TakeAnswer(std::optional<Fields>& answer, Fields& fields)
{
    if (!answer)
        return false;
    fields = *answer;
    answer.reset();
    return true;
}

} // namespace

void CPlanUserInterface::SetPlanActive(bool bActive)
{
    m_bPlanActive = bActive;
    ClearAnswers();
}

void CPlanUserInterface::AnswerGenericIdentificationForm(std::uint8_t nInf,
                                                         std::function<bool(CGenericList&)> fnFill)
{
    m_genericIdentification = CGenericAnswer{nInf, std::move(fnFill)};
}

void CPlanUserInterface::AnswerGenericDataForm(std::uint8_t nInf, std::function<bool(CGenericList&)> fnFill)
{
    m_genericData = CGenericAnswer{nInf, std::move(fnFill)};
}

void CPlanUserInterface::ClearAnswers()
{
    m_serial.reset();
    m_deviceAddress.reset();
    m_clock.reset();
    m_generalCommand.reset();
    m_disturbance.reset();
    m_customFrame.reset();
    m_genericIdentification.reset();
    m_genericData.reset();
}

std::vector<std::string> CPlanUserInterface::TakeMessages()
{
    std::vector<std::string> messages;
    messages.swap(m_messages);
    return messages;
}

void CPlanUserInterface::ShowMessage(const std::string& strText)
{
    if (m_bPlanActive)
        m_messages.push_back(strText);
    else if (m_pInner != nullptr)
        m_pInner->ShowMessage(strText);
}

bool CPlanUserInterface::ShowSerialForm(CSerialFields& fields)
{
    if (m_bPlanActive)
        return TakeAnswer(m_serial, fields);
    return m_pInner != nullptr && m_pInner->ShowSerialForm(fields);
}

bool CPlanUserInterface::ShowDeviceAddressForm(CDeviceAddressFields& fields)
{
    if (m_bPlanActive)
        return TakeAnswer(m_deviceAddress, fields);
    return m_pInner != nullptr && m_pInner->ShowDeviceAddressForm(fields);
}

bool CPlanUserInterface::ShowClockForm(CClockFields& fields)
{
    if (m_bPlanActive)
    {
        const bool bShowAnswerBox = fields.bShowAnswerBox;
        const bool bOk = TakeAnswer(m_clock, fields);
        fields.bShowAnswerBox = bShowAnswerBox;
        return bOk;
    }
    return m_pInner != nullptr && m_pInner->ShowClockForm(fields);
}

bool CPlanUserInterface::ShowLineLimitForm(CLineLimitFields& fields)
{
    if (m_bPlanActive)
        return false;
    return m_pInner != nullptr && m_pInner->ShowLineLimitForm(fields);
}

bool CPlanUserInterface::ShowIntervalForm(CIntervalFields& fields)
{
    if (m_bPlanActive)
        return false;
    return m_pInner != nullptr && m_pInner->ShowIntervalForm(fields);
}

bool CPlanUserInterface::ShowGeneralCommandForm(CGeneralCommandFields& fields)
{
    if (m_bPlanActive)
        return TakeAnswer(m_generalCommand, fields);
    return m_pInner != nullptr && m_pInner->ShowGeneralCommandForm(fields);
}

bool CPlanUserInterface::ShowDisturbanceForm(CDisturbanceFields& fields)
{
    if (m_bPlanActive)
    {
        const int nAsdu = fields.nAsdu;
        const bool bOk = TakeAnswer(m_disturbance, fields);
        fields.nAsdu = nAsdu;
        return bOk;
    }
    return m_pInner != nullptr && m_pInner->ShowDisturbanceForm(fields);
}

bool CPlanUserInterface::ShowCustomFrameForm(CCustomFrame& frame, CCustomFrameFields& fields)
{
    if (!m_bPlanActive)
        return m_pInner != nullptr && m_pInner->ShowCustomFrameForm(frame, fields);
    if (!m_customFrame)
        return false;
    // The form's OK stores the typed text; the plan types the bytes in hexadecimal.
    std::string strText;
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const std::uint8_t nByte : *m_customFrame)
    {
        strText += kHex[nByte >> 4];
        strText += kHex[nByte & 0x0F];
        strText += ' ';
    }
    m_customFrame.reset();
    fields.bHex = true;
    frame.StoreText(strText, true);
    return true;
}

bool CPlanUserInterface::ShowGenericDataForm(CGenericList& list, CGenericDataFields& fields)
{
    if (!m_bPlanActive)
        return m_pInner != nullptr && m_pInner->ShowGenericDataForm(list, fields);
    if (!m_genericData)
        return false;
    const CGenericAnswer answer = std::move(*m_genericData);
    m_genericData.reset();
    list.ClearGenericList();
    if (!answer.fnFill(list))
        return false;
    fields.nInf = answer.nInf;
    return true;
}

bool CPlanUserInterface::ShowGenericIdentificationForm(CGenericList& list, CGenericIdentificationFields& fields)
{
    if (!m_bPlanActive)
        return m_pInner != nullptr && m_pInner->ShowGenericIdentificationForm(list, fields);
    if (!m_genericIdentification)
        return false;
    const CGenericAnswer answer = std::move(*m_genericIdentification);
    m_genericIdentification.reset();
    list.ClearGenericList();
    if (!answer.fnFill(list))
        return false;
    fields.nInf = answer.nInf;
    return true;
}

bool CPlanUserInterface::ShowIpForm(CIpFields& fields)
{
    if (m_bPlanActive)
        return false;
    return m_pInner != nullptr && m_pInner->ShowIpForm(fields);
}

void CPlanUserInterface::ShowStatusHint(const std::string& strText)
{
    if (m_pInner != nullptr)
        m_pInner->ShowStatusHint(strText);
}

void CPlanUserInterface::ShowSerialLost(const std::string& strText)
{
    if (m_bPlanActive)
        m_messages.push_back(strText);
    if (m_pInner != nullptr)
        m_pInner->ShowSerialLost(strText);
}

} // namespace relvane
