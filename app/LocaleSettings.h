#pragma once
#include "chart/Format.h"

namespace zyn::app {

// Separators and short date/time formats of the user's locale, in the engine's pattern letters.
chart::TFormatSettings SystemFormatSettings();

}  // namespace zyn::app
