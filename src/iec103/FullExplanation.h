#pragma once

#include "common/AnnotationText.h"

#include <cstdint>

namespace relvane
{

// The full explanation of a 103 variable frame: its control field and VSQ bit by bit, every field of
// its ASDU body (times with their flag bits, measurands by position as fractions of rated,
// identification, generic data, disturbance tables and values, command fields) and the standard
// names of function types and information numbers of the compatible range. It adds lines after the
// frame's annotation and is shown only when the user asks for it, so the annotation itself stays as
// it is.
//
// Reads nothing past nCount nor past the frame's own length field; a field the chunk does not reach
// is left out. Returns true when lines were added (nothing for fixed frames, E5H, or chunks too
// short to carry an ASDU header).
bool AppendFullExplanation(const std::uint8_t* pFrame, int nCount, CAnnotationText& text);

} // namespace relvane
