#pragma once
// The two command buttons of the main window: SpeedButton1 makes the thumbnail of the selected
// file, SpeedButton2 those of every listed file. Both read the window's controls, and let
// exceptions pass to the handler guard (the standard error box).
#include "ui/main_controls.h"

void RunSingleImage(const MainControls& controls);
void RunBatch(const MainControls& controls);
