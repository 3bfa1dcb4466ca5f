// The program's version data in one place: the about box reads it compiled in, and on Windows the
// resource compiler writes it into the version resource, from which the about box reads it back.
// The resource compiler includes this file too, so it holds macros only.
#pragma once

#define RELVANE_FILE_VERSION_NUMBERS 1, 0, 0, 0
#define RELVANE_PRODUCT_VERSION_NUMBERS 1, 5, 0, 0
#define RELVANE_PRODUCT_VERSION "1.50"
#define RELVANE_SPECIAL_BUILD "20040928"
#define RELVANE_LEGAL_NOTICE "版权所有 (C) 2026 Relvane 贡献者"
