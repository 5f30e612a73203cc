// Uses movara_core from outside Movara's own tree.
#include "widgets/fromutf8text.h"

int main()
{
    return fromUtf8Text("Movara") == QLatin1String("Movara") ? 0 : 1;
}
