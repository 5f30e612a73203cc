#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <vector>

class MvPickList;
class MvPopupMenu;
class QWidget;

// The options menu of the left soft key: entries added in order, each with
// a label (asked each time the menu opens, so that it can show a state), an
// action, and optionally a test of whether it shows at the moment. Up, Down,
// Home, End and Return work it; Escape, the right soft key or a tap elsewhere close it.
class MvOptionsMenu : public QObject
{
    Q_OBJECT

public:
    explicit MvOptionsMenu(QWidget *parent);
    ~MvOptionsMenu() override;

    using Label = std::function<QString()>;
    using Action = std::function<void()>;
    using Shown = std::function<bool()>;
    void addEntry(const Label &label, const Action &action, const Shown &shown = Shown());
    void addEntry(const QString &label, const Action &action, const Shown &shown = Shown());

    // Shows the menu with its bottom-left corner at `bottomLeft`, the first entry current.
    void open(const QPoint &bottomLeft);
    // From an entry's action: a list of `rows` in the menu's place, `current`
    // chosen; `pick` gets the row picked. Open and closed as the menu is.
    void openList(const QStringList &rows, int current, const std::function<void(int)> &pick);
    void close();
    bool isOpen() const;
    // Where it opened last: lists it leads to open there too.
    QPoint bottomLeft() const { return corner; }
    // Labels of the entries or the list's rows shown now; the current one's index.
    QStringList shownLabels() const;
    int currentIndex() const;

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void rebuild();
    void moveCurrent(int step);
    void moveTo(int at);
    void choose(int id);

    struct Entry
    {
        Label label;
        Action action;
        Shown shown;
    };
    std::vector<Entry> entries;
    // Guarded: the popup is also a child of the parent, which may delete it first.
    QPointer<MvPopupMenu> popup;
    QPointer<MvPickList> list;
    std::function<void(int)> listPick;
    QPoint corner;
};
