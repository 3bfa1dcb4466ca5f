#pragma once

namespace relvane
{

// The log asks for "宋体"; where it is missing, an installed CJK font stands in for it so that
// Chinese renders (WenQuanYi Zen Hei on Debian; on Windows Microsoft YaHei, or the WenQuanYi
// Micro Hei in the "fonts" folder beside the program on systems without a Chinese font).
void InstallLogFontFallbacks();

} // namespace relvane
