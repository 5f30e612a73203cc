#include "widgets/fromutf8text.h"

QString fromUtf8Text(const char *text)
{
    if (!text)
        return QString();
    return QString::fromUtf8(text);
}
