#pragma once
// Gives a Qt test program a desktop-sized offscreen screen (1920 x 1080 pixels) and, with a
// scale factor, Qt's high-resolution scaling. Call it from a namespace-scope initialiser, so
// that it runs before the shared main makes the application object:
//   const bool kScreen = UseDesktopScreen(2);  // 1920 x 1080 pixels at 200 %
// A display chosen by the caller (QT_QPA_PLATFORM other than offscreen) is left alone.
#include <cstdlib>
#include <string>

inline bool UseDesktopScreen(int scale_factor = 1) {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform != nullptr && std::string(platform) != "offscreen") return false;
  setenv("QT_QPA_PLATFORM", "offscreen:configfile=" TESSARINE_TEST_DATA_DIR "/screen-1920x1080.json", 1);
  setenv("QT_SCALE_FACTOR", std::to_string(scale_factor).c_str(), 1);
  return true;
}
