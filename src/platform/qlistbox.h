#pragma once

#include <QAbstractScrollArea>
#include <QList>
#include <QPoint>
#include <vector>

class QListBoxItem;

// The old toolkit's single-selection list box: rows of varying height that
// paint themselves, a current row that is also the selected one, vertical
// scrolling that keeps the current row in view, and the old list signals.
// Points in the signals are in the coordinates of the top-level window, the
// phone's screen.
class QListBox : public QAbstractScrollArea
{
    Q_OBJECT

public:
    explicit QListBox(QWidget *parent = nullptr);
    ~QListBox() override;

    int count() const { return int(items.size()); }
    void insertItem(QListBoxItem *item, int index = -1);
    void removeItem(int index);
    void clear();

    QListBoxItem *item(int index) const;
    int index(const QListBoxItem *item) const;
    int currentItem() const;
    QListBoxItem *currentListItem() const { return current; }
    void setCurrentItem(int index);
    void setCurrentItem(QListBoxItem *item);
    void setSelected(QListBoxItem *item, bool select);
    void setSelected(int index, bool select);
    bool isSelected(int index) const;

    void setVariableHeight(bool on);
    bool variableHeight() const { return varHeight; }
    // The line height of the list's font, measured once for each font.
    int lineHeight() const;

    void updateItem(int index);
    void updateItem(QListBoxItem *item);
    void triggerUpdate();

    QListBoxItem *itemAt(const QPoint &viewportPos) const;
    // The row's rectangle in viewport coordinates; empty when not in the list.
    QRect itemRect(QListBoxItem *item) const;
    void ensureCurrentVisible();

signals:
    void highlighted(QListBoxItem *item);
    void selected(QListBoxItem *item);
    void selectionChanged();
    void selectionChanged(QListBoxItem *item);
    void currentChanged(QListBoxItem *item);
    void clicked(QListBoxItem *item);
    void clicked(QListBoxItem *item, const QPoint &pos);
    void pressed(QListBoxItem *item);
    void pressed(QListBoxItem *item, const QPoint &pos);
    void doubleClicked(QListBoxItem *item);
    void returnPressed(QListBoxItem *item);
    void rightButtonClicked(QListBoxItem *item, const QPoint &pos);
    void rightButtonPressed(QListBoxItem *item, const QPoint &pos);
    void mouseButtonPressed(int button, QListBoxItem *item, const QPoint &pos);
    void mouseButtonClicked(int button, QListBoxItem *item, const QPoint &pos);
    void onItem(QListBoxItem *item);
    void onViewport();

protected:
    bool event(QEvent *e) override;
    void paintEvent(QPaintEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void changeEvent(QEvent *e) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    friend class QListBoxItem;
    void detachItem(QListBoxItem *item);
    void renumber(int from);
    void invalidateLayout();
    void ensureLayout() const;
    void updateScrollRange();
    int rowAtY(int contentY) const;
    QPoint screenPos(const QPoint &viewportPos) const;
    void press(QMouseEvent *e);
    void moveCurrent(int index);
    void activateCurrent();

    QList<QListBoxItem *> items;
    QListBoxItem *current = nullptr;
    // Counts removals: a signal handler that clears or removes rows makes the
    // row pointers in flight stale, and the emitter stops when this moves.
    quint64 generation = 0;
    bool varHeight = false;
    mutable int fontLine = -1;

    mutable std::vector<int> tops; // row tops in content coordinates, plus the total
    mutable bool layoutDirty = true;
    bool layoutPosted = false;

    QListBoxItem *pressedItem = nullptr;
    quint64 pressGeneration = 0;
    bool ignoreRelease = false;
    quint64 lastClickTime = 0;
    bool lastClickChangedList = false;
    QListBoxItem *hoverItem = nullptr;
    bool hoverKnown = false;
};
