#include "ui/mvlistmenu.h"

#include "platform/phonegeometry.h"
#include "platform/qpopupmenu.h"
#include "widgets/mvmenuitem.h"
#include "widgets/mvpopupmenu.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>

namespace {
// An item draws its text 10 pixels in; the menu's frame takes a few more.
constexpr int TextRoom = PhoneGeometry::ScreenWidth - 32;
} // namespace

MvListMenu::MvListMenu(QWidget *parent) : QObject(parent), popup(new MvPopupMenu(parent, "list"))
{
    QPopupMenu *menu = popup->popupMenu;
    menu->installEventFilter(this);
    connect(menu, &QPopupMenu::activated, this, &MvListMenu::pick);
}

MvListMenu::~MvListMenu()
{
    delete popup.data();
}

void MvListMenu::open(const QPoint &bottomLeft, const Source &from)
{
    if (!popup || !popup->popupMenu)
        return;
    source = from;
    rows = source.rows ? source.rows() : QVector<Row>();
    if (rows.isEmpty())
        return;
    corner = bottomLeft;
    top = 0;
    current = 0;
    showPage();
}

void MvListMenu::close()
{
    if (popup && popup->popupMenu)
        popup->popupMenu->hide();
}

bool MvListMenu::isOpen() const
{
    return popup && popup->popupMenu && popup->popupMenu->isVisible();
}

QStringList MvListMenu::shownLabels() const
{
    QStringList labels;
    QPopupMenu *menu = popup ? popup->popupMenu.data() : nullptr;
    for (int i = 0; menu && i < menu->count(); ++i)
        if (auto *item = static_cast<MvMenuItem *>(menu->customItem(menu->idAt(i))))
            labels.append(item->text());
    return labels;
}

void MvListMenu::showPage()
{
    QPopupMenu *menu = popup->popupMenu;
    menu->clear();
    const QFont font = QApplication::font(menu);
    const QFontMetrics metrics(font);
    int widest = 0;
    const int end = qMin(int(rows.size()), top + pageRows);
    for (int i = top; i < end; ++i) {
        const Row &row = rows.at(i);
        const int room = TextRoom - metrics.horizontalAdvance(row.tail);
        auto *item = new MvMenuItem(
            metrics.elidedText(row.name, Qt::ElideMiddle, qMax(room, 0)) + row.tail, QPixmap());
        item->setFont(font);
        widest = qMax(widest, metrics.horizontalAdvance(item->text()));
        popup->insertItem(item, i, -1);
    }
    menu->setMinimumWidth(widest + 16);
    menu->adjustSize();
    const QPoint at = corner - QPoint(0, menu->sizeHint().height());
    if (menu->isVisible())
        menu->move(at);
    else
        menu->popup(at);
    menu->setActiveAction(menu->actions().value(current - top));
    // The items draw the current entry themselves.
    for (QWidget *child : menu->findChildren<QWidget *>())
        child->update();
}

void MvListMenu::moveTo(int row)
{
    const int count = int(rows.size());
    if (count == 0)
        return;
    current = (row % count + count) % count;
    if (current < top || current >= top + pageRows) {
        top = current < top ? current : current - pageRows + 1;
        showPage();
        return;
    }
    QPopupMenu *menu = popup->popupMenu;
    menu->setActiveAction(menu->actions().value(current - top));
    for (QWidget *child : menu->findChildren<QWidget *>())
        child->update();
}

void MvListMenu::pick(int row)
{
    if (row < 0 || row >= rows.size())
        return;
    // Closed first, so that the pick may play or show a notice.
    close();
    if (source.pick)
        source.pick(row);
}

void MvListMenu::removeCurrent()
{
    if (!source.remove || current >= rows.size())
        return;
    source.remove(current);
    rows = source.rows ? source.rows() : QVector<Row>();
    if (rows.isEmpty()) {
        close();
        return;
    }
    current = qMin(current, int(rows.size()) - 1);
    top = qMax(0, qMin(top, int(rows.size()) - pageRows));
    top = qMin(top, current);
    showPage();
}

bool MvListMenu::eventFilter(QObject *watched, QEvent *event)
{
    // The type first: the menu being destroyed still sends events.
    if (event->type() != QEvent::KeyPress || !popup || watched != popup->popupMenu)
        return false;
    switch (static_cast<QKeyEvent *>(event)->key()) {
    case Qt::Key_Up:
        moveTo(current - 1);
        return true;
    case Qt::Key_Down:
        moveTo(current + 1);
        return true;
    case Qt::Key_Home:
        moveTo(0);
        return true;
    case Qt::Key_End:
        moveTo(int(rows.size()) - 1);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Select:
        pick(current);
        return true;
    case Qt::Key_Delete:
    case Qt::Key_NumberSign:
        removeCurrent();
        return true;
    case Qt::Key_Escape:
    case Qt::Key_Backspace:
        close();
        return true;
    default:
        return false;
    }
}
