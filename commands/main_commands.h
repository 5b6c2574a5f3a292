#pragma once
// The two command buttons of the main window: SpeedButton1 makes the thumbnail of the selected
// file, SpeedButton2 those of every listed file. Both let exceptions pass to the handler guard
// (the standard error box).
#include "commands/command_view.h"
#include "commands/main_settings.h"

void RunSingleImage(const MainSettings& settings, CommandView& view);
void RunBatch(const MainSettings& settings, CommandView& view);
