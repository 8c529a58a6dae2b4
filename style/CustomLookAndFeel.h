#pragma once

// The program's three looks: buttons, language menu (and the default look), progress bar.
#include "BtnLookAndFeel.h"
#include "LangLookAndFeel.h"
#include "ProgressLookAndFeel.h"
