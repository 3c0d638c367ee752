#ifndef DOSEGATE_WINDOWICON_H
#define DOSEGATE_WINDOWICON_H

#include <QIcon>

// The window's icon from the sizes drawn for it (resources/icon-N.png).
// Read as the PNGs they are: an icon file read the usual way has every
// image plugin loaded to ask whether it knows the format, and a single
// large picture goes to the window manager whole, at every start.
class WindowIcon
{
public:
    static QIcon Make();
};

#endif
