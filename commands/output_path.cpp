#include "commands/output_path.h"

#include "engine/path_text.h"
#include "engine/text_conversions.h"

std::string SingleImageDest(const std::string& selected_file, const std::string& list_folder,
                            const std::string& tree_folder, const NamingSettings& naming) {
  // The selected file is always list folder + separator + bare name; strip the folder part.
  std::size_t cut = list_folder.size() + (EndsWithSeparator(list_folder) ? 0 : 1);
  std::string name = selected_file.size() > cut ? selected_file.substr(cut) : std::string();
  if (naming.Rule == nmPrefix) {
    // The separator test looks at the list folder, as the name above was cut from it.
    std::string sep = EndsWithSeparator(list_folder) ? "" : "/";
    return tree_folder + sep + Trim(naming.Prefix) + name;
  }
  return JoinPath(naming.OutputFolder, name);
}

std::string BatchDir(const std::string& tree_folder) {
  return EndsWithSeparator(tree_folder) ? tree_folder.substr(0, tree_folder.size() - 1)
                                        : tree_folder;
}

std::string BatchSource(const std::string& dir, const std::string& entry) {
  return dir + "/" + entry;
}

std::string BatchDest(const std::string& dir, const std::string& entry,
                      const NamingSettings& naming) {
  if (naming.Rule == nmPrefix) return dir + "/" + Trim(naming.Prefix) + entry;
  return JoinPath(Trim(naming.OutputFolder), entry);
}
