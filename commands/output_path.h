#pragma once
// Destination paths of the two commands. Paths use "/" and the root "/" is the only folder
// path that ends with the separator. Nothing but the documented joins is ever changed in a
// name: extension, letter case and earlier prefixes stay as they are.
#include <string>

#include "commands/naming_rule.h"

// The naming settings as the window shows them, untrimmed.
struct NamingSettings {
  NamingRule Rule = nmPrefix;
  std::string Prefix;        // Edit2
  std::string OutputFolder;  // ePath
};

// Single-image command: the destination of the list's selected file.
std::string SingleImageDest(const std::string& selected_file, const std::string& list_folder,
                            const std::string& tree_folder, const NamingSettings& naming);

// Batch command: the tree folder with one trailing "/" removed ("/" becomes "").
std::string BatchDir(const std::string& tree_folder);
std::string BatchSource(const std::string& dir, const std::string& entry);
std::string BatchDest(const std::string& dir, const std::string& entry,
                      const NamingSettings& naming);
