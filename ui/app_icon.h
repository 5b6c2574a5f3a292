#pragma once
// The application's own icon, compiled into the program from data/tessarine.qrc.
#include <QIcon>
#include <QPixmap>

// Every drawn size (16, 32, 48, 128 and 256 pixels): the windows' icon.
QIcon TessarineIcon();
// The 32 x 32 picture of the About window for a screen of the given device pixel ratio, drawn
// from the best of the icon's sizes (64 x 64 pixels at 200 %).
QPixmap TessarineIconPicture(qreal device_pixel_ratio = 1);

// The installed desktop entry's name without ".desktop" (data/org.example.tessarine.desktop,
// cmake/Install.cmake): desktops match the running windows to the menu entry and its icon by it.
inline constexpr char kDesktopFileName[] = "org.example.tessarine";
