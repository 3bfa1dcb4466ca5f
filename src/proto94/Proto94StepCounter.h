#pragma once

#include <cstdint>

namespace relvane
{

// The '94 step counter of the session: starts at 0, set to 0 by 88H and 98H, increased by 1
// before every 99H (wrapping from 65535 to 0); 99H carries it low byte first.
class CProto94StepCounter
{
public:
    void Reset() { m_nValue = 0; }
    // Increases the counter (before a 99H) and returns the new value.
    std::uint16_t Advance()
    {
        m_nValue = static_cast<std::uint16_t>(m_nValue + 1);
        return m_nValue;
    }
    std::uint16_t Value() const { return m_nValue; }
    // Writes the current value into pOut[0] (low byte) and pOut[1] (high byte).
    void BuildBytes(std::uint8_t* pOut) const
    {
        pOut[0] = static_cast<std::uint8_t>(m_nValue & 0xFF);
        pOut[1] = static_cast<std::uint8_t>(m_nValue >> 8);
    }

private:
    std::uint16_t m_nValue = 0;
};

} // namespace relvane
