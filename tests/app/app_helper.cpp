// Drives the real start-up code in a process of its own, for the tests that
// need a second process (single instance, crash left-overs) or the whole
// start-up loop. Prints what it observed, one "KEY value" line each.
//
//   app_helper hold     take the single-instance lock and run until killed
//   app_helper lock     take the lock once and exit (0 when taken)
//   app_helper start [--restart] [--reject-login] [--ini FILE]
//                       run the program; every cycle ends after the deferred
//                       start-up step (the first with the restart code when
//                       asked); a login dialog is answered admin/admin or,
//                       with --reject-login, with "Exit"; FILE stands for the
//                       installation file beside the program
//   app_helper shot FILE.png
//                       run the program, log in as admin and save a picture
//                       of the main window once start-up is over

#include "application.h"
#include "apptestsupport.h"
#include "common/dialogfacade.h"
#include "mainwindow.h"
#include "settings/appsettings.h"

#include <QAbstractItemModel>
#include <QDialog>
#include <QElapsedTimer>
#include <QEvent>
#include <QListWidget>
#include <QSplashScreen>
#include <QTextStream>
#include <QTimer>

#include <cstdio>

namespace
{

void out(const QString &line)
{
    QTextStream stream(stdout);
    stream << line << '\n';
    stream.flush();
}

QString oneLine(QString text)
{
    return text.replace(QLatin1String("\r\n"), QLatin1String("\\r\\n"))
        .replace(QLatin1Char('\n'), QLatin1String("\\n"));
}

// Reports the first event of one type on a widget.
class FirstEvent : public QObject
{
public:
    FirstEvent(QObject *target, QEvent::Type type, std::function<void()> onEvent)
        : QObject(target)
        , type(type)
        , onEvent(std::move(onEvent))
    {
        target->installEventFilter(this);
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == type && onEvent) {
            auto call = std::move(onEvent);
            onEvent = nullptr;
            call();
        }
        return false;
    }

private:
    QEvent::Type type;
    std::function<void()> onEvent;
};

int runLock(int &argc, char **argv, bool hold)
{
    apptest::setIdentity();
    Application app(argc, argv);
    const bool locked = app.lock();
    out(QStringLiteral("LOCKED %1").arg(locked ? 1 : 0));
    if (!locked)
        return 2;
    return hold ? app.exec() : 0;
}

int runStart(int &argc, char **argv, bool restart, bool rejectLogin)
{
    DialogFacade::setScripted(true);
    int cycle = 0;
    const int rc = runVendra2Admin(
        argc, argv, [&](Application &app, MainWindow &window, QSplashScreen &splash) {
            const int thisCycle = ++cycle;
            out(QStringLiteral("CYCLE %1").arg(thisCycle));
            auto clock = std::make_shared<QElapsedTimer>();
            clock->start();
            auto report = [clock](const char *what) {
                out(QStringLiteral("%1 %2").arg(QLatin1String(what)).arg(clock->elapsed()));
            };

            new FirstEvent(&splash, QEvent::Hide, [report] { report("SPLASH_HIDDEN_MS"); });
            new FirstEvent(&window, QEvent::Show, [report] { report("SHOWN_MS"); });

            auto *log = window.findChild<QListWidget *>(QStringLiteral("lwLog"));
            QObject::connect(log->model(), &QAbstractItemModel::rowsInserted, &window,
                [&app, log, report, restart, rejectLogin, thisCycle](
                    const QModelIndex &, int first, int) {
                    const QString text = log->item(first)->text();
                    if (!text.contains(QLatin1String("Impostato EndPoint: ")))
                        return;
                    report("DEFERRED_MS");
                    if (restart && thisCycle == 1)
                        app.exit(Vendra2Startup::restartExitCode);
                    else if (!rejectLogin)
                        app.exit(0);
                });
            QObject::connect(&app, &QCoreApplication::aboutToQuit, &window, [&window] {
                for (const QString &text : apptest::logTexts(window))
                    out(QStringLiteral("LOG ") + oneLine(text));
            });

            auto *watcher = new apptest::ModalWatcher([&window, rejectLogin](QDialog *dialog) {
                out(QStringLiteral("MODAL %1")
                        .arg(QLatin1String(dialog->metaObject()->className())));
                out(QStringLiteral("WINDOW_VISIBLE_AT_MODAL %1").arg(window.isVisible() ? 1 : 0));
                apptest::answerLogin(rejectLogin ? QString() : QStringLiteral("admin"),
                    QStringLiteral("admin"))(dialog);
            });
            watcher->setParent(&app);
        });

    for (const DialogFacade::Shown &shown : DialogFacade::shown()) {
        out(QStringLiteral("SHOWN %1|%2|%3|%4|%5")
                .arg(int(shown.icon))
                .arg(shown.title, oneLine(shown.text), shown.buttons.join(QLatin1Char(',')))
                .arg(shown.hadParent ? 1 : 0));
    }
    out(QStringLiteral("RC %1").arg(rc));
    return rc;
}

int runShot(int &argc, char **argv, const QString &file)
{
    DialogFacade::setScripted(true);
    bool saved = false;
    const int rc
        = runVendra2Admin(argc, argv, [&](Application &app, MainWindow &window, QSplashScreen &) {
              auto *log = window.findChild<QListWidget *>(QStringLiteral("lwLog"));
              QObject::connect(log->model(), &QAbstractItemModel::rowsInserted, &window,
                  [&app, &window, &saved, file] {
                      // Let the window settle (layout, icons) before the picture.
                      QTimer::singleShot(1500, &window, [&app, &window, &saved, file] {
                          saved = window.grab().save(file);
                          app.exit(0);
                      });
                  });
              auto *watcher = new apptest::ModalWatcher(
                  apptest::answerLogin(QStringLiteral("admin"), QStringLiteral("admin")));
              watcher->setParent(&app);
          });
    out(QStringLiteral("SAVED %1").arg(saved ? 1 : 0));
    return saved ? rc : 3;
}

} // namespace

int main(int argc, char *argv[])
{
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    bool restart = false;
    bool rejectLogin = false;
    for (int i = 2; i < argc; ++i) {
        restart = restart || qstrcmp(argv[i], "--restart") == 0;
        rejectLogin = rejectLogin || qstrcmp(argv[i], "--reject-login") == 0;
        if (qstrcmp(argv[i], "--ini") == 0 && i + 1 < argc)
            setInstallationFilePath(QString::fromLocal8Bit(argv[i + 1]));
    }
    if (mode == QLatin1String("hold") || mode == QLatin1String("lock"))
        return runLock(argc, argv, mode == QLatin1String("hold"));
    if (mode == QLatin1String("shot") && argc > 2)
        return runShot(argc, argv, QString::fromLocal8Bit(argv[2]));
    if (mode == QLatin1String("start"))
        return runStart(argc, argv, restart, rejectLogin);
    std::fprintf(
        stderr, "usage: app_helper hold|lock|start [--restart] [--reject-login]|shot FILE\n");
    return 64;
}
