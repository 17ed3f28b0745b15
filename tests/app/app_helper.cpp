// The real start-up code in a process of its own, for the tests that need a
// second process or the whole start-up loop; prints "KEY value" lines.
//   hold|lock    take the single-instance lock, run until killed or exit
//   start [--restart] [--reject-login] [--ini FILE]
//                run the program to its deferred step (restarting once when
//                asked), answering the login admin/admin or "Exit"
//   shot FILE    a picture of the main window once start-up is over

#include "application.h"
#include "apptestsupport.h"
#include "common/dialogfacade.h"
#include "mainwindow.h"
#include "settings/appsettings.h"

#include <QAbstractItemModel>
#include <QDialog>
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
    const int rc
        = runVendra2Admin(argc, argv, [&](Application &app, MainWindow &window, QSplashScreen &) {
              const int thisCycle = ++cycle;
              out(QStringLiteral("CYCLE %1").arg(thisCycle));
              // The deferred step says whether the window was shown before it.
              auto *log = window.findChild<QListWidget *>(QStringLiteral("lwLog"));
              QObject::connect(log->model(), &QAbstractItemModel::rowsInserted, &window,
                  [&app, &window, log, restart, rejectLogin, thisCycle](
                      const QModelIndex &, int first, int) {
                      if (!log->item(first)->text().contains(QLatin1String("Impostato EndPoint: ")))
                          return;
                      out(QStringLiteral("DEFERRED_WINDOW_VISIBLE %1").arg(window.isVisible()));
                      if (restart && thisCycle == 1)
                          app.exit(Vendra2Startup::restartExitCode);
                      else if (!rejectLogin)
                          app.exit(0);
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
