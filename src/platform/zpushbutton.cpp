#include "platform/zpushbutton.h"

#include <QCoreApplication>
#include <QHash>

namespace {
const QString ResourcePrefix = QStringLiteral("CST_");

// The labels are translated under the soft key's own class name.
const QHash<QString, const char *> &resourceLabels()
{
    static const QHash<QString, const char *> labels{
        {QStringLiteral("CST_Exit"), QT_TRANSLATE_NOOP("ZPushButton", "Exit")},
        {QStringLiteral("CST_Back"), QT_TRANSLATE_NOOP("ZPushButton", "Back")},
        {QStringLiteral("CST_Menu"), QT_TRANSLATE_NOOP("ZPushButton", "Menu")},
        {QStringLiteral("CST_Ok"), QT_TRANSLATE_NOOP("ZPushButton", "OK")},
        {QStringLiteral("CST_Cancel"), QT_TRANSLATE_NOOP("ZPushButton", "Cancel")},
        {QStringLiteral("CST_Select"), QT_TRANSLATE_NOOP("ZPushButton", "Select")},
        {QStringLiteral("CST_Done"), QT_TRANSLATE_NOOP("ZPushButton", "Done")},
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
        return QCoreApplication::translate("ZPushButton", found.value());
    // An id the platform has no label for shows its own name.
    QString label = text.mid(ResourcePrefix.size());
    label.replace(QLatin1Char('_'), QLatin1Char(' '));
    return label;
}
