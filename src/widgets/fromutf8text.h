#pragma once

#include <QString>

// The text of a C string decoded as UTF-8; a null pointer gives a null text.
QString fromUtf8Text(const char *text);
