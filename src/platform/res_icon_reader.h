#pragma once

#include <QPixmap>

// The phone's icon library. A name is looked up by the part before its first
// dot, so "FMMS_Mmc_S.gif" and the shortened "FMMS_Mmc_S.g" give the same
// picture. Pictures are drawn once per process and shared; an unknown name
// gives a null pixmap.
class RES_ICON_Reader
{
public:
    RES_ICON_Reader() = default;

    QPixmap getIcon(const char *name, bool scaled = false);

    static constexpr int IconSize = 20;
};
