#pragma once

#include "common/AnnotationText.h"
#include "iec103/CommandParams.h"
#include "iec103/GenericList.h"

#include <cstdint>

namespace relvane
{

// Link-layer and command codec of the serial 103 master (FT1.2 fixed and variable frames) towards
// one relay. It keeps the frame-count bit, the link and common addresses, the counter for scan
// numbers and return-information identifiers, and the generic-services user data.
//
// Builders write into pOut, which must hold kMaxFrameLength bytes, and return the frame length;
// 0 means the parameters were refused: nothing usable is written and the FCB flag and the RII
// counter are left as they were.
class Iec103Codec
{
public:
    static constexpr int kMaxFrameLength = 255;
    static constexpr int kMaxGenericBytes = 240;

    Iec103Codec() = default;
    virtual ~Iec103Codec() = default;

    void SetLinkAddress(std::uint8_t nAddress) { m_nLinkAddress = nAddress; }
    void SetCommonAddress(std::uint8_t nAddress) { m_nCommonAddress = nAddress; }
    std::uint8_t LinkAddress() const { return m_nLinkAddress; }
    std::uint8_t CommonAddress() const { return m_nCommonAddress; }
    std::int32_t FcbFlag() const { return m_bFcb; }
    // True from the build of a frame with FCV = 1 until a valid answer confirms it.
    bool FcbAwaitingAnswer() const { return m_bFcbAwaitingAnswer != 0; }
    // True after RestoreFcb until the next FCV frame is built: that frame asks for the lost
    // answer again, whatever it is meant to carry.
    bool FcbRepeatDue() const { return m_bFcbRepeatDue != 0; }
    // True from the build of an FCV frame that carried the FCB of a lost answer (RestoreFcb) until
    // the next FCV frame is built: the relay may answer it with a copy of its previous answer.
    bool FcbRepeatSent() const { return m_bFcbRepeatSent != 0; }
    std::uint8_t RiiCounter() const { return m_nRii; }

    // The generic-services user data the two generic forms edit; hand UserData().Data() to
    // BuildGenericCommand / BuildGenericData as CommandParams::pData.
    CGenericList& UserData() { return m_userData; }
    const CGenericList& UserData() const { return m_userData; }

    // Sum of the bytes mod 256.
    static std::uint8_t Checksum(const std::uint8_t* pBytes, int nCount);
    // 10H, control, address, checksum, 16H; returns 5.
    static int BuildFixedFrame(std::uint8_t* pOut, std::uint8_t nAddress, std::uint8_t nControl);

    int BuildRequestClass1(std::uint8_t* pOut);     // 5AH/7AH, FCB toggles
    int BuildRequestClass2(std::uint8_t* pOut);     // 5BH/7BH, FCB toggles
    int BuildResetCu(std::uint8_t* pOut);           // 40H, FCB flag set to 1
    int BuildResetFcb(std::uint8_t* pOut);          // 47H, FCB flag set to 1
    int BuildRequestLinkStatus(std::uint8_t* pOut); // 49H

    int BuildGeneralInterrogation(std::uint8_t* pOut, const CommandParams& params); // 15
    int BuildTimeSync(std::uint8_t* pOut, const CommandParams& params);             // 21 or 0
    int BuildGeneralCommand(std::uint8_t* pOut, const CommandParams& params);       // 16 or 0
    int BuildGenericCommand(std::uint8_t* pOut, const CommandParams& params);       // n + 15 or 0
    int BuildGenericData(std::uint8_t* pOut, const CommandParams& params);          // n + 15 or 0
    int BuildDisturbanceOrder(std::uint8_t* pOut, const CommandParams& params);     // 19 or 0
    int BuildDisturbanceAck(std::uint8_t* pOut, const CommandParams& params);       // 19 or 0

    // Test of one received chunk taken as one FT1.2 frame from offset 0: its checksum and its
    // framing. A fixed frame is 10H C A CS 16H; a variable frame 68H L L 68H, L bytes (L >= 2), CS,
    // 16H with exactly L + 6 bytes. Anything else, and a chunk of fewer than 5 bytes, is invalid.
    static bool CheckFrame(const std::uint8_t* pBytes, int nCount);
    // Whether the bytes are the single control character E5H, the relay's short confirmation
    // (or "no data" to a request for user data).
    static bool CheckSingleAck(const std::uint8_t* pBytes, int nCount);
    // Shortest L of a variable frame: the control field and the link address.
    static constexpr int kMinVariableLength = 2;

    // The automatic follow-up a received chunk calls for (class-1 request on ACD, reset on link
    // service not functioning): 5, or -1 when no answer is due.
    int AutoAnswer(std::uint8_t* pOut, const std::uint8_t* pReceived, int nCount);
    // Whether AutoAnswer would build a follow-up for the chunk (nothing is built, no state moves).
    static bool CheckAutoAnswer(const std::uint8_t* pReceived, int nCount);

    // The frame-count bit moves on only when the relay has answered: each frame with FCV = 1
    // flips the flag as it is built, and until it is answered the flip is provisional.
    // ConfirmFcb (a valid answer came) makes the flip final; RestoreFcb (a time-out, or an answer
    // that failed its check) takes it back, so the next FCV frame carries the same FCB and the
    // relay repeats the answer that was lost. Both do nothing while no FCV frame awaits an answer.
    void ConfirmFcb();
    void RestoreFcb();
    // Whether a checked received chunk answers a frame with FCV = 1: the single character E5H, or
    // a frame whose function code is not 11 (the status of link answers a request without FCV).
    static bool CheckAnswersFcb(const std::uint8_t* pReceived, int nCount);

    // Appends the plain-language description of a frame to text (pass an empty one). Returns 1, or
    // -1 for chunks of 8 bytes or fewer (text untouched) other than the single character E5H. Reads no codec state and nothing past
    // nCount: the description ends before the first field the chunk does not reach.
    static int Annotate(const std::uint8_t* pFrame, int nCount, CAnnotationText& text);

private:
    std::uint8_t NextFcbControl(std::uint8_t nFunction);
    int BuildVariableFrame(std::uint8_t* pOut, std::uint8_t nControl, const std::uint8_t* pAsdu,
                           int nAsduLength) const;
    int BuildUserDataFrame(std::uint8_t* pOut, std::uint8_t nTyp, std::uint8_t nCot, std::uint8_t nInf,
                           const CommandParams& params);

    CGenericList m_userData;
    std::int32_t m_bFcb = 0;
    std::int32_t m_bFcbAwaitingAnswer = 0;
    std::int32_t m_bFcbRepeatDue = 0;
    std::int32_t m_bFcbRepeatSent = 0;
    std::int32_t m_bFcbSent = 0; // the FCB of the frame awaiting its answer
    std::uint8_t m_nLinkAddress = 1;
    std::uint8_t m_nCommonAddress = 1;
    std::uint8_t m_nRii = 0;
};

} // namespace relvane
