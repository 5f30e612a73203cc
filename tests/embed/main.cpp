// Uses a piece of movara_core from outside Movara's own tree.
#include "widgets/fromutf8text.h"

#include <cstdio>

int main()
{
    const bool ok = fromUtf8Text("\xc3\x9c"
                                 "ber") == QStringLiteral(u"\u00dcber") &&
                    fromUtf8Text(nullptr).isNull();
    std::puts(ok ? "movara_core works here" : "movara_core decoded the text wrongly");
    return ok ? 0 : 1;
}
