// A static channel of another source file: it is built before or after the
// library's own statics, and must find the default settings either way.
#include "talvo/Log.h"

talvo::LogChannel second_unit_channel("second.unit", talvo::log_warning_level, 2);
