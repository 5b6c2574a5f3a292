#include "commands/check_settings.h"

#include "engine/text_conversions.h"

std::optional<std::string> FirstFailedCheck(int entry_count, const NamingSettings& naming,
                                            const std::string& list_folder) {
  if (entry_count <= 0) return "没有任何jpg图片需要生成缩略图!";
  if (naming.Rule == nmPrefix && Trim(naming.Prefix).empty())
    return "保存于同目录下，请输入前缀以区分原图!";
  std::string output_folder = Trim(naming.OutputFolder);
  if (naming.Rule == nmOutputFolder && output_folder.empty()) return "请选择保存目录!";
  // Byte for byte, whichever rule is chosen: a stale output folder equal to the list folder
  // blocks the prefix rule too.
  if (output_folder == list_folder) return "源目录和目标目录相同!";
  return std::nullopt;
}

bool CheckSettings(const MainSettings& settings, CommandView& view) {
  const std::optional<std::string> failed = FirstFailedCheck(
      static_cast<int>(settings.Entries.size()), settings.Naming, settings.ListFolder);
  if (!failed) return true;
  view.Message(*failed);
  return false;
}
