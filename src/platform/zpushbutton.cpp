#include "platform/zpushbutton.h"

#include <QHash>

namespace {
const QString ResourcePrefix = QStringLiteral("CST_");

const QHash<QString, QString> &resourceLabels()
{
    static const QHash<QString, QString> labels{
        {QStringLiteral("CST_Exit"), QStringLiteral("Exit")},
        {QStringLiteral("CST_Back"), QStringLiteral("Back")},
        {QStringLiteral("CST_Menu"), QStringLiteral("Menu")},
        {QStringLiteral("CST_Ok"), QStringLiteral("OK")},
        {QStringLiteral("CST_Cancel"), QStringLiteral("Cancel")},
        {QStringLiteral("CST_Select"), QStringLiteral("Select")},
        {QStringLiteral("CST_Done"), QStringLiteral("Done")},
    };
    return labels;
}
} // namespace

ZPushButton::ZPushButton(const QString &text, QWidget *parent) : QPushButton(parent)
{
    // Soft keys are pressed, never focused: the keys belong to the frame.
    setFocusPolicy(Qt::NoFocus);
    setFlat(true);
    if (text.startsWith(ResourcePrefix))
        setResourceID(text);
    else
        setText(text);
}

void ZPushButton::setResourceID(const QString &id)
{
    resource = id;
    setText(resourceLabel(id));
}

QString ZPushButton::resourceLabel(const QString &text)
{
    if (!text.startsWith(ResourcePrefix))
        return text;
    const auto found = resourceLabels().constFind(text);
    if (found != resourceLabels().constEnd())
        return found.value();
    // An id the platform has no label for shows its own name.
    QString label = text.mid(ResourcePrefix.size());
    label.replace(QLatin1Char('_'), QLatin1Char(' '));
    return label;
}
