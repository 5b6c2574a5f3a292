#pragma once
// Small helpers the windows share: design names, the busy pointer, centring on a screen.
#include <QString>

class QScreen;
class QWidget;

// Gives the widget its design name as objectName and returns it.
template <class Widget>
Widget* Named(Widget* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

// The busy pointer (hourglass) for the life of the object; the pointer before it comes back
// however the scope ends.
class WaitCursor {
 public:
  WaitCursor();
  ~WaitCursor();
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

// Whether the window system lets a program place its windows. Wayland compositors place
// every window themselves: there, no position is set.
bool CanPlaceWindows();

// Moves the window so that its outer frame is centred on the screen's available area (the
// primary screen when none is given); nothing where the window system places windows.
void CentreOnScreen(QWidget* window, const QScreen* screen = nullptr);
