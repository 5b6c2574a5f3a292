#pragma once
// The main window's controls as the commands read them, taken when a command button is
// pressed. Texts are the file system's bytes (UTF-8), as the controls show them, untrimmed.
#include <string>
#include <vector>

#include "commands/output_path.h"
#include "engine/size_rules.h"

// The checked sizing radio button (rb1 tmPercent ... rb5 tmMaxBox) and the texts of all seven
// number boxes.
struct SizingControls {
  ThumbnailMode Rule = tmNone;
  std::string editRate, editHH, editWW, editH, editW, editQH, editQW;
};

struct MainSettings {
  SizingControls Sizing;
  NamingSettings Naming;
  std::string ListFolder;            // the file list's Folder
  std::vector<std::string> Entries;  // the file list's entries, in list order
  int ItemIndex = -1;                // the file list's selected entry, -1 when none
  std::string TreeFolder;            // the folder tree's SelectedPath

  // The selected entry's full path, "" when nothing is selected.
  std::string SelectedFile() const;
};

// The numbers of the checked rule's boxes (text-to-integer conversion: throws ConvertError).
// Fields the rule does not use stay 0.
ThumbnailParams ReadSizingRule(const SizingControls& sizing);
