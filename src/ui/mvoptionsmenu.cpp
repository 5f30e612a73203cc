#include "ui/mvoptionsmenu.h"

#include "platform/qpopupmenu.h"
#include "ui/mvpicklist.h"
#include "widgets/mvmenuitem.h"
#include "widgets/mvpopupmenu.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>

MvOptionsMenu::MvOptionsMenu(QWidget *parent)
    : QObject(parent), popup(new MvPopupMenu(parent, "options")), list(new MvPickList(parent))
{
    QPopupMenu *menu = popup->popupMenu;
    menu->installEventFilter(this);
    connect(menu, &QPopupMenu::activated, this, &MvOptionsMenu::choose);
    connect(list, &MvPickList::picked, this, [this](int row) {
        if (const auto pick = listPick)
            pick(row);
    });
}

MvOptionsMenu::~MvOptionsMenu()
{
    delete popup.data();
    delete list.data();
}

void MvOptionsMenu::addEntry(const Label &label, const Action &action, const Shown &shown)
{
    entries.push_back({label, action, shown});
}

void MvOptionsMenu::addEntry(const QString &label, const Action &action, const Shown &shown)
{
    addEntry([label] { return label; }, action, shown);
}

void MvOptionsMenu::rebuild()
{
    QPopupMenu *menu = popup->popupMenu;
    // Its items are made anew each time, so that labels show the state of now.
    menu->clear();
    const QFont font = QApplication::font(menu);
    const QFontMetrics metrics(font);
    int widest = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].shown && !entries[i].shown())
            continue;
        auto *item = new MvMenuItem(entries[i].label(), QPixmap());
        item->setFont(font);
        widest = std::max(widest, metrics.horizontalAdvance(item->text()));
        popup->insertItem(item, int(i), -1);
    }
    // An item draws its text 10 pixels in, past the width it asks for.
    menu->setMinimumWidth(widest + 16);
}

void MvOptionsMenu::open(const QPoint &bottomLeft)
{
    QPopupMenu *menu = popup ? popup->popupMenu.data() : nullptr;
    if (!menu)
        return;
    corner = bottomLeft;
    rebuild();
    menu->adjustSize();
    menu->popup(bottomLeft - QPoint(0, menu->sizeHint().height()));
    if (!menu->actions().isEmpty())
        menu->setActiveAction(menu->actions().first());
}

void MvOptionsMenu::openList(const QStringList &rows, int current,
                             const std::function<void(int)> &pick)
{
    if (!list || rows.isEmpty())
        return;
    close();
    listPick = pick;
    list->open(rows, current, corner);
}

void MvOptionsMenu::close()
{
    if (popup && popup->popupMenu)
        popup->popupMenu->hide();
    if (list)
        list->hide();
}

bool MvOptionsMenu::isOpen() const
{
    return (popup && popup->popupMenu && popup->popupMenu->isVisible()) ||
           (list && list->isVisible());
}

QStringList MvOptionsMenu::shownLabels() const
{
    if (list && list->isVisible())
        return list->rows();
    QStringList labels;
    QPopupMenu *menu = popup ? popup->popupMenu.data() : nullptr;
    for (int i = 0; menu && i < menu->count(); ++i)
        if (auto *item = static_cast<MvMenuItem *>(menu->customItem(menu->idAt(i))))
            labels.append(item->text());
    return labels;
}

int MvOptionsMenu::currentIndex() const
{
    if (list && list->isVisible())
        return list->currentIndex();
    QPopupMenu *menu = popup ? popup->popupMenu.data() : nullptr;
    return menu ? int(menu->actions().indexOf(menu->activeAction())) : -1;
}

void MvOptionsMenu::moveCurrent(int step)
{
    QPopupMenu *menu = popup->popupMenu;
    const QList<QAction *> actions = menu->actions();
    if (actions.isEmpty())
        return;
    const int n = int(actions.size());
    const int from = currentIndex();
    const int at = from < 0 ? (step > 0 ? -1 : n) : from;
    moveTo(((at + step) % n + n) % n);
}

void MvOptionsMenu::moveTo(int at)
{
    QPopupMenu *menu = popup->popupMenu;
    const QList<QAction *> actions = menu->actions();
    if (at < 0 || at >= actions.size())
        return;
    menu->setActiveAction(actions.at(at));
    // The items draw the current entry themselves.
    for (QWidget *child : menu->findChildren<QWidget *>())
        child->update();
}

void MvOptionsMenu::choose(int id)
{
    if (id < 0 || std::size_t(id) >= entries.size())
        return;
    // Closed first, so that the action may show a notice or play.
    close();
    if (const Action action = entries[std::size_t(id)].action)
        action();
}

bool MvOptionsMenu::eventFilter(QObject *watched, QEvent *event)
{
    // The type first: the menu being destroyed still sends events, and its
    // pointer must not be read then.
    if (event->type() != QEvent::KeyPress || !popup || watched != popup->popupMenu)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    switch (key->key()) {
    case Qt::Key_Up:
        moveCurrent(-1);
        return true;
    case Qt::Key_Down:
        moveCurrent(+1);
        return true;
    case Qt::Key_Home:
        moveTo(0);
        return true;
    case Qt::Key_End:
        moveTo(int(popup->popupMenu->actions().size()) - 1);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Select:
        if (currentIndex() >= 0)
            choose(popup->popupMenu->idAt(currentIndex()));
        return true;
    case Qt::Key_Escape:
    case Qt::Key_Backspace:
        close();
        return true;
    default:
        return false;
    }
}
