#pragma once
// The application's own icon, compiled into the program from data/tessarine.qrc.
#include <QIcon>
#include <QPixmap>

// Every drawn size (16, 32, 48, 128 and 256 pixels): the windows' icon.
QIcon TessarineIcon();
// The 32 x 32 picture of the About window.
QPixmap TessarineIconPicture();

// The installed desktop entry's name without ".desktop" (data/org.example.tessarine.desktop,
// cmake/Install.cmake): desktops match the running windows to the menu entry and its icon by it.
inline constexpr char kDesktopFileName[] = "org.example.tessarine";
