#pragma once

namespace relvane
{

// The log asks for "宋体"; where it is missing, an installed CJK font stands in for it so that
// Chinese renders (WenQuanYi Zen Hei on Debian, the font in the "fonts" folder beside the
// program on Windows systems without a Chinese font).
void InstallLogFontFallbacks();

} // namespace relvane
