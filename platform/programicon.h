#pragma once

// The program's icon, drawn from its one SVG: the window's own icon (what a
// task bar shows) and the PNGs of the package are the same picture.

#include <QIcon>
#include <QImage>

#include <vector>

// The sizes the desktop's icon theme knows, 16 to 256 pixels square.
const std::vector<int> &programIconSizes();
// The icon drawn at `size` pixels square, transparent around it.
QImage programIconImage(int size);
// Every size of programIconSizes() in one icon.
QIcon programIcon();
