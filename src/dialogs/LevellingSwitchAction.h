#pragma once
#include <functional>

class MainWindow;
class QAction;

// "Extras -> Lautstärke angleichen": a check item below the Extras menu's
// items, checked as `on` says. Every change goes to onToggle at once. Null
// when the window has no Extras menu (no menu bar).
QAction* addLevellingSwitch(MainWindow& window, bool on, std::function<void(bool)> onToggle);
