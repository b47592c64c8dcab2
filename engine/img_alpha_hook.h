// The engine core's one door to the alpha images (engine/alpha), which stand
// above it: the core creates them by rw class name ("imgAlpha") and reaches
// their colour conversion through this hook, which the alpha library's
// registration sets before the entry point runs. Null while no alpha images
// are linked in.
#pragma once

class imgCTy;

// imgAlpha::ConvertColors on an alpha image: its stored colours become pels
// of *format (1, 2, 4 or 5).
using imgAlphaConvertColorsFn = void (*)(imgCTy* image, const int* format);
extern imgAlphaConvertColorsFn imgAlphaConvertColorsHook;
