#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QStringList>
#include <QVector>

#include <functional>

class MvPopupMenu;
class QWidget;

// A pop-up list that may hold many rows, shown a page at a time over the
// phone's small screen: Up and Down move and turn the page, Home and End go
// to either end, Return or a tap picks a row, Delete or # removes it where
// rows can be removed; Escape, BackSpace or a tap elsewhere close it.
class MvListMenu : public QObject
{
    Q_OBJECT

public:
    static constexpr int pageRows = 8;

    // A name, shortened to fit, and a tail shown whole after it.
    struct Row
    {
        QString name;
        QString tail;
    };
    // The rows, asked for as the list opens and after each removal; what a
    // pick and a removal do with a row's index. `remove` may be empty.
    struct Source
    {
        std::function<QVector<Row>()> rows;
        std::function<void(int)> pick;
        std::function<void(int)> remove;
    };

    explicit MvListMenu(QWidget *parent);
    ~MvListMenu() override;

    // Shows the first page with its bottom-left corner at `bottomLeft`;
    // nothing when there are no rows.
    void open(const QPoint &bottomLeft, const Source &source);
    void close();
    bool isOpen() const;
    // The labels of the page shown, and the current row's index in the whole list.
    QStringList shownLabels() const;
    int currentRow() const { return current; }

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void moveTo(int row);
    void showPage();
    void pick(int row);
    void removeCurrent();

    QPointer<MvPopupMenu> popup;
    Source source;
    QVector<Row> rows;
    QPoint corner;
    int top = 0;
    int current = 0;
};
