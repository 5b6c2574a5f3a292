#pragma once
// The version texts the windows show, defined once. They differ on purpose, as the tool has
// always shown them: the application's version and title name 2.0, the main window's label
// and the About window 2.1.
inline constexpr char kApplicationVersion[] = "2.0";
inline constexpr char kApplicationTitle[] = "Tessarine V2.0";    // title of windows and boxes
inline constexpr char kMainWindowVersion[] = "Tessarine  V2.1";  // the main window's Label7
inline constexpr char kAboutVersion[] = "(Ver 2.1)";             // the About window's Label2
