#pragma once

#include "session/IUserInterface.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace relvane
{

// The user interface a session runs with when test plans may drive it. While no plan runs every
// call goes to the inner interface (the window's dialogs, the headless runner's queue), so the
// session behaves exactly as without plans. While a plan runs, each form opened is answered with
// the values the plan queued for it (OK), or cancelled when none is queued; message boxes are
// collected instead of shown (a modal box must not stop the plan) and handed to the plan.
class CPlanUserInterface : public IUserInterface
{
public:
    // pInner may be null: then forms are cancelled and messages dropped while no plan runs.
    explicit CPlanUserInterface(IUserInterface* pInner) : m_pInner(pInner) {}

    void SetPlanActive(bool bActive);
    bool PlanActive() const { return m_bPlanActive; }

    // Answers for the next opening of a form while a plan runs.
    void AnswerSerialForm(const CSerialFields& fields) { m_serial = fields; }
    void AnswerDeviceAddressForm(const CDeviceAddressFields& fields) { m_deviceAddress = fields; }
    void AnswerClockForm(const CClockFields& fields) { m_clock = fields; }
    void AnswerGeneralCommandForm(const CGeneralCommandFields& fields) { m_generalCommand = fields; }
    void AnswerDisturbanceForm(const CDisturbanceFields& fields) { m_disturbance = fields; }
    // The custom frame's bytes.
    void AnswerCustomFrameForm(std::vector<std::uint8_t> abFrame) { m_customFrame = std::move(abFrame); }
    // The generic forms: the list is filled with exactly these items, INF as given. The callback
    // fills the list (cleared first) and returns false when it does not fit.
    void AnswerGenericIdentificationForm(std::uint8_t nInf, std::function<bool(CGenericList&)> fnFill);
    void AnswerGenericDataForm(std::uint8_t nInf, std::function<bool(CGenericList&)> fnFill);
    // Drops every queued answer.
    void ClearAnswers();

    // Message boxes shown while the plan ran, taken out.
    std::vector<std::string> TakeMessages();

    void ShowMessage(const std::string& strText) override;
    bool ShowSerialForm(CSerialFields& fields) override;
    bool ShowDeviceAddressForm(CDeviceAddressFields& fields) override;
    bool ShowClockForm(CClockFields& fields) override;
    bool ShowLineLimitForm(CLineLimitFields& fields) override;
    bool ShowIntervalForm(CIntervalFields& fields) override;
    bool ShowGeneralCommandForm(CGeneralCommandFields& fields) override;
    bool ShowDisturbanceForm(CDisturbanceFields& fields) override;
    bool ShowCustomFrameForm(CCustomFrame& frame, CCustomFrameFields& fields) override;
    bool ShowGenericDataForm(CGenericList& list, CGenericDataFields& fields) override;
    bool ShowGenericIdentificationForm(CGenericList& list, CGenericIdentificationFields& fields) override;
    bool ShowIpForm(CIpFields& fields) override;
    void ShowStatusHint(const std::string& strText) override;
    void ShowSerialLost(const std::string& strText) override;
    bool AnswersForTheUser() const override { return m_bPlanActive; }

private:
    struct CGenericAnswer
    {
        std::uint8_t nInf = 0;
        std::function<bool(CGenericList&)> fnFill;
    };

    IUserInterface* m_pInner;
    bool m_bPlanActive = false;
    std::optional<CSerialFields> m_serial;
    std::optional<CDeviceAddressFields> m_deviceAddress;
    std::optional<CClockFields> m_clock;
    std::optional<CGeneralCommandFields> m_generalCommand;
    std::optional<CDisturbanceFields> m_disturbance;
    std::optional<std::vector<std::uint8_t>> m_customFrame;
    std::optional<CGenericAnswer> m_genericIdentification;
    std::optional<CGenericAnswer> m_genericData;
    std::vector<std::string> m_messages;
};

} // namespace relvane
