#pragma once

#include <QStringList>
#include <QWidget>

// A list to pick one row from, shown where the options menu was: rows drawn
// as the menu draws its entries, only those in view, so that a list of
// thousands opens at once. Up and Down (round the ends), Page Up and Down,
// Home and End move; Return or a tap on a row picks it; Escape or a tap
// elsewhere closes it.
class MvPickList : public QWidget
{
    Q_OBJECT

public:
    explicit MvPickList(QWidget *parent);

    // Shows `rows` with `current` chosen and in view, its bottom-left corner
    // at `bottomLeft` (on the screen), as tall as the rows or the room above.
    void open(const QStringList &rows, int current, const QPoint &bottomLeft);
    QStringList rows() const { return items; }
    int currentIndex() const { return current; }

signals:
    void picked(int index);

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    int rowHeight() const;
    int shownRows() const;
    void moveTo(int index);
    void pick(int index);

    QStringList items;
    int current = -1;
    // The first row in view.
    int first = 0;
};
