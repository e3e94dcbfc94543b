#pragma once
#include <QIcon>

// The player's icon, drawn from pictures built into the program in several
// sizes, so every window shows it even where no icon theme or SVG support
// is installed.
QIcon programIcon();
