#pragma once
// Pre-flight checks shared by both commands.
#include <optional>
#include <string>

#include "commands/command_view.h"
#include "commands/main_settings.h"

// The message of the first failing check, or nothing when the command may go on.
// entry_count is the number of listed files, list_folder the list's folder.
std::optional<std::string> FirstFailedCheck(int entry_count, const NamingSettings& naming,
                                            const std::string& list_folder);

// Shows the message of the first failing check; false when one failed.
bool CheckSettings(const MainSettings& settings, CommandView& view);
