// floorplayer: the least a Qt 6 Widgets front-end can cost while MPlayer plays,
// the floor bench/phone_bench.sh measures Movara against. A bare window that
// runs the engine as a child and reads its output with readAll, nothing more.
//
//   floorplayer [--now] ENGINE [ARGUMENT...]
//
// The engine starts at the first mouse press in the window (with --now: at
// once). An argument "%WID%" becomes the X id of the window's video area, a
// native child that Qt never paints, shown from then on. The window is titled "Floor"; it closes
// when the engine exits.
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QProcess>
#include <QStringList>
#include <QWidget>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

class FloorWindow : public QWidget
{
public:
    explicit FloorWindow(QStringList command) : command(std::move(command))
    {
        setWindowTitle(QStringLiteral("Floor"));
        setFixedSize(240, 320);
        // Some text, so that the window shows more than one flat colour when painted.
        auto *label = new QLabel(QStringLiteral("Floor: tap to play"), this);
        label->move(10, 4);
        video.setGeometry(0, 24, 240, 296);
        video.setAttribute(Qt::WA_NativeWindow);
        video.setAttribute(Qt::WA_PaintOnScreen);
        video.setAttribute(Qt::WA_NoSystemBackground);
        video.hide();
        connect(&engine, &QProcess::readyReadStandardOutput, this,
                [this] { engine.readAllStandardOutput(); });
        connect(&engine, &QProcess::readyReadStandardError, this,
                [this] { engine.readAllStandardError(); });
        connect(&engine, &QProcess::finished, this, &QWidget::close);
        const pid_t parent = ::getpid();
        engine.setChildProcessModifier([parent] {
            // The engine goes with this window, however it ends.
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != parent)
                ::_exit(127);
        });
    }

    void play()
    {
        if (engine.state() != QProcess::NotRunning || command.isEmpty())
            return;
        video.show();
        QStringList arguments = command.mid(1);
        arguments.replaceInStrings(QStringLiteral("%WID%"), QString::number(video.winId()));
        engine.start(command.first(), arguments);
    }

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        play();
        QWidget::mousePressEvent(event);
    }

private:
    QStringList command;
    QWidget video{this};
    QProcess engine;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QStringList command = app.arguments().mid(1);
    const bool now = !command.isEmpty() && command.first() == QLatin1String("--now");
    if (now)
        command.removeFirst();
    if (command.isEmpty()) {
        qWarning("usage: floorplayer [--now] ENGINE [ARGUMENT...]");
        return 2;
    }
    FloorWindow window(command);
    window.show();
    if (now)
        window.play();
    return app.exec();
}
