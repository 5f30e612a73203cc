#include "core/mvsharepixmap.h"

#include "core/trace.h"

#include <QPixmap>

MvSharePixmap *sharePixmap = nullptr;

namespace {

// One character a pixel, grey-scale colour keys.
// clang-format off
const char *const checkedXpm[] = {
    "18 18 4 1",
    "   g #303030",
    ".  g #000000",
    "+  g #808080",
    "@  g #FFFFFF",
    "                  ",
    " ................+",
    " ................+",
    " ................+",
    " ................+",
    " ...........@@...+",
    " ..........@@....+",
    " .........@@.....+",
    " ....@...@@......+",
    " ....@@.@@.......+",
    " .....@@@@.......+",
    " .....@@@........+",
    " ......@@........+",
    " ................+",
    " ................+",
    " ................+",
    " ................+",
    " +++++++++++++++++",
};

// Cleared: an empty white box, which no one takes for ticked.
const char *const uncheckedXpm[] = {
    "18 18 4 1",
    "   g #303030",
    ".  g #000000",
    "+  g #808080",
    "@  g #FFFFFF",
    "                  ",
    " ................+",
    " .@@@@@@@@@@@@@@.+",
    " .@@@@@@@@@@@@@@.+",
    " .@@@@@@@@@@@@@@.+",
    " .@@@@@@@@@@@@@@.+",
    " .@@@@@@@@@@@@@@.+",
    " .@@@@@@@@@@@@@@.+",
    " .@@@@@@@@@@@@@@.+",
    " .@@@@@@@@@@@@@@.+",
    " .@@@@@@@@@@@@@@.+",
    " .@@@@@@@@@@@@@@.+",
    " .@@@@@@@@@@@@@@.+",
    " .@@@@@@@@@@@@@@.+",
    " .@@@@@@@@@@@@@@.+",
    " .@@@@@@@@@@@@@@.+",
    " ................+",
    " +++++++++++++++++",
};
// clang-format on

} // namespace

MvSharePixmap::MvSharePixmap(QObject *parent) : QObject(parent)
{
    checkedPixmap = new QPixmap(checkedXpm);
    uncheckedPixmap = new QPixmap(uncheckedXpm);
}

MvSharePixmap::~MvSharePixmap()
{
    delete checkedPixmap;
    checkedPixmap = nullptr;
    delete uncheckedPixmap;
    uncheckedPixmap = nullptr;
    if (sharePixmap == this)
        sharePixmap = nullptr;
    traceLine("MvSharePixmap::destroy()\n");
}
