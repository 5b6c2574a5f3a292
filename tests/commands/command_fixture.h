#pragma once
// The commands without a window: a view that records what a command reports, in order, and
// the settings of a window just opened on a folder, over a temporary folder of JPEG files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/command_view.h"
#include "commands/main_commands.h"
#include "engine/jpeg_image.h"
#include "tests/engine/test_support.h"

struct RecordingView : CommandView {
  void ClearLog() override { events.push_back("clear"); }
  void Append(const std::string& line) override { events.push_back("log " + line); }
  void Message(const std::string& text) override { events.push_back("message " + text); }
  void ProgressStart(int count) override { events.push_back("start " + std::to_string(count)); }
  void ProgressStep() override { events.push_back("step"); }
  void ProgressEnd() override { events.push_back("end"); }
  void LetPendingEventsRun() override { events.push_back("events"); }
  std::vector<std::string> events;
};

class CommandFixture : public ::testing::Test {
 protected:
  using Events = std::vector<std::string>;

  // A width x height JPEG with a busy pattern, made by the engine's encoder.
  std::string WriteJpeg(const std::string& name, int width, int height) {
    Raster raster;
    FillPattern(raster, width, height, static_cast<unsigned>(width + height));
    JpegImage image;
    image.AssignRaster(raster);
    image.SaveFile(dir / name);
    return dir / name;
  }
  // The controls as the window opens on the temporary folder listing entries.
  MainSettings Opened(std::vector<std::string> entries, int selected = -1) const {
    MainSettings settings;
    settings.Sizing = {tmPercent, "50", "50", "50", "100", "100", "100", "100"};
    settings.Naming = {nmPrefix, "tb", ""};
    settings.ListFolder = settings.TreeFolder = dir.Path().string();
    settings.Entries = std::move(entries);
    settings.ItemIndex = selected;
    return settings;
  }
  // Runs a command; returns the message of the exception that ended it, "" when none did.
  template <class Command>
  std::string Run(Command command, const MainSettings& settings) {
    view.events.clear();
    try {
      command(settings, view);
    } catch (const std::exception& error) {
      return error.what();
    }
    return {};
  }
  static std::string Made(const std::string& source, const std::string& dest) {
    return "log 缩略图生成:" + source + "-->" + dest;
  }
  static std::pair<int, int> SizeOf(const std::string& path) {
    JpegImage image;
    image.LoadFile(path);
    return {image.Width(), image.Height()};
  }

  TempDir dir;
  RecordingView view;
};
