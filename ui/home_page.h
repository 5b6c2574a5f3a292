#pragma once
// The maker's addresses, kept only here: the About window shows and opens both, the main
// window's home-page button opens the first, and the build copies them into the AppStream
// metadata (cmake/Install.cmake reads these two lines, so keep each definition on one line).

inline constexpr char kHomePageUrl[] = "https://tessarine.example.org/";
inline constexpr char kMailAddress[] = "tessarine@example.org";
