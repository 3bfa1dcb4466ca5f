#pragma once

#include "common/AnnotationText.h"

#include <cstddef>
#include <cstdint>

namespace relvane
{

// Relay texts (generic data of KOD 9 and 10, text elements) are GBK. They end at the first zero
// byte and are shown up to 255 bytes, cut at a character boundary; bytes that are not GBK are shown
// as '?'.
void AppendRelayText(CAnnotationText& text, const std::uint8_t* pBytes, std::size_t nCount);

} // namespace relvane
