#include "commands/main_commands.h"

#include "commands/check_settings.h"
#include "engine/path_text.h"
#include "engine/text_conversions.h"
#include "engine/thumbnail_writer.h"

namespace {

void Make(const std::string& source, const std::string& dest, const ThumbnailParams& p,
          LogSink& log) {
  MakeThumbnail(source, dest, p.Mode, p.Percent, p.Height, p.Width, log);
}

}  // namespace

std::string MainSettings::SelectedFile() const {
  if (ItemIndex < 0 || ItemIndex >= static_cast<int>(Entries.size())) return {};
  return JoinPath(ListFolder, Entries[static_cast<std::size_t>(ItemIndex)]);
}

ThumbnailParams ReadSizingRule(const SizingControls& s) {
  ThumbnailParams params;
  params.Mode = s.Rule;
  switch (s.Rule) {
    case tmPercent:
      params.Percent = StrToInt(s.editRate);
      break;
    case tmByHeight:
      params.Height = StrToInt(s.editHH);
      break;
    case tmByWidth:
      params.Width = StrToInt(s.editWW);
      break;
    case tmCustom:
      params.Height = StrToInt(s.editH);
      params.Width = StrToInt(s.editW);
      break;
    case tmMaxBox:
      params.Height = StrToInt(s.editQH);
      params.Width = StrToInt(s.editQW);
      break;
    case tmNone:
      break;
  }
  return params;
}

void RunSingleImage(const MainSettings& settings, CommandView& view) {
  view.ClearLog();
  if (!CheckSettings(settings, view)) return;
  if (settings.ItemIndex < 0) {
    view.Message("未选择jpg文件!");
    return;
  }
  ThumbnailParams params;
  const std::string source = settings.SelectedFile();
  if (!source.empty()) params = ReadSizingRule(settings.Sizing);
  const std::string dest =
      SingleImageDest(source, settings.ListFolder, settings.TreeFolder, settings.Naming);
  if (params.Mode != tmNone) Make(source, dest, params, view);
}

void RunBatch(const MainSettings& settings, CommandView& view) {
  view.ClearLog();
  if (!CheckSettings(settings, view)) return;
  const ThumbnailParams params = ReadSizingRule(settings.Sizing);
  const std::string dir = BatchDir(settings.TreeFolder);
  // Every batch starts its bar at the beginning. The entries are those listed when the
  // button was pressed: files this run writes are not among them.
  view.ProgressStart(static_cast<int>(settings.Entries.size()));
  for (const std::string& entry : settings.Entries) {
    const std::string source = BatchSource(dir, entry);
    if (params.Mode == tmNone || source.empty()) continue;
    Make(source, BatchDest(dir, entry, settings.Naming), params, view);
    view.ProgressStep();
    // The bar and the log repaint between files and the desktop sees a live window.
    view.LetPendingEventsRun();
  }
  view.ProgressEnd();
}
