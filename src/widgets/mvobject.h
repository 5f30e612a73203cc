#pragma once

#include <QObject>
#include <QPointer>

class QEvent;
class QFocusEvent;
class QKeyEvent;
class QMouseEvent;
class QPaintEvent;
class QResizeEvent;

// Base of every widget wrapper: filters the watched widget's events and
// hands them to virtual hooks, which consume an event by returning true.
class MvObject : public QObject
{
    Q_OBJECT

public:
    explicit MvObject(const char *name = nullptr);
    MvObject(QObject *parent, const char *name);
    ~MvObject() override;

    void setWatched(QObject *object);
    void setFiltering(bool on);

    bool eventFilter(QObject *object, QEvent *event) override;

    virtual void destroy() {}
    virtual bool mousePressEvent(QMouseEvent *) { return false; }
    virtual bool mouseReleaseEvent(QMouseEvent *) { return false; }
    virtual bool mouseMoveEvent(QMouseEvent *) { return false; }
    virtual bool keyPressEvent(QKeyEvent *) { return false; }
    virtual bool keyReleaseEvent(QKeyEvent *) { return false; }
    virtual bool focusInEvent(QFocusEvent *) { return false; }
    virtual bool focusOutEvent(QFocusEvent *) { return false; }
    virtual bool paintEvent(QPaintEvent *) { return false; }
    virtual bool resizeEvent(QResizeEvent *) { return false; }
    virtual bool windowActivateEvent(QEvent *) { return false; }
    virtual bool windowDeactivateEvent(QEvent *) { return false; }

protected:
    // Guarded: a watched widget deleted before its wrapper must not be touched.
    QPointer<QObject> watched;
    bool filtering = false;
};
