// The hook the alpha images set (engine/img_alpha_hook.h). Constant
// initialised, so it is null before any registration runs.
#include "engine/img_alpha_hook.h"

imgAlphaConvertColorsFn imgAlphaConvertColorsHook = nullptr;
