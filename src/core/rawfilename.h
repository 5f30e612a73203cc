#pragma once

#include <QByteArray>
#include <QString>

// File names are bytes. Names that are not UTF-8 (Latin-1 names from old
// cards and Windows copies) keep each byte that does not decode as one
// character U+DC80..U+DCFF, so that the text names the very file and turns
// back into its bytes. Valid UTF-8 names are plain text, as QFile would make.

// The text for the bytes of a name or path.
QString fileNameFromRaw(const QByteArray &bytes);
// The bytes that text names: QFile::encodeName for plain text.
QByteArray rawFileName(const QString &name);
// Whether the text carries bytes that are not UTF-8.
bool hasRawBytes(const QString &name);
// The name as a user reads it: kept bytes shown as Windows-1252 (Latin-1 with
// the printable characters in 0x80..0x9f).
QString displayFileName(const QString &name);
