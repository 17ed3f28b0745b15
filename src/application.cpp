#include "application.h"

#include "mainwindow.h"

#include "common/dialogfacade.h"
#include "common/vendra2commons.h"
#include "ncreport.h"
#include "ncreportpreviewwindow.h"
#include "resources/v2resources.h"
#include "settings/appsettings.h"

#include <QDir>
#include <QLocale>
#include <QLockFile>
#include <QPixmap>
#include <QSharedMemory>
#include <QSplashScreen>
#include <QTimer>
#include <QTranslator>

QPointer<QTranslator> Application::lastTranslator;

Application::Application(int &argc, char **argv)
    : QApplication(argc, argv)
    , sharedMemory(new QSharedMemory(sharedMemoryKey(), this))
{
    NCReport::setPrintDialogHook(&NCReportPreviewWindow::dialogoDiStampa);
}

Application::~Application()
{
    // Release the segment before the owner record, so that a process starting
    // in between never mistakes our segment for a stale one.
    if (sharedMemory->isAttached())
        sharedMemory->detach();
    ownerLock.reset();
}

bool Application::lock()
{
    if (sharedMemory->isAttached())
        return true;

    if (!ownerLock) {
        ownerLock = std::make_unique<QLockFile>(
            QDir::tempPath() + QLatin1Char('/') + sharedMemoryKey() + QLatin1String(".lock"));
        // Never stale by age: only an owner that no longer runs gives it up.
        ownerLock->setStaleLockTime(0);
    }

    if (ownerLock->tryLock(0))
        return takeOverStaleSegment();

    if (ownerLock->error() == QLockFile::LockFailedError)
        return false; // a running process owns the key

    // The lock file cannot be used (e.g. an unwritable temporary folder): the
    // segment alone decides.
    ownerLock.reset();
    return lockSegment();
}

bool Application::lockSegment()
{
    if (sharedMemory->attach(QSharedMemory::ReadOnly)) {
        sharedMemory->detach();
        return false;
    }
    return sharedMemory->create(1, QSharedMemory::ReadWrite);
}

bool Application::takeOverStaleSegment()
{
    // We own the key now. A segment that still exists belongs to a process
    // that died without releasing it; detaching the last attachment removes it.
    if (sharedMemory->attach(QSharedMemory::ReadOnly))
        sharedMemory->detach();
    if (sharedMemory->create(1, QSharedMemory::ReadWrite))
        return true;
    // Someone outside our protocol still holds the segment.
    ownerLock->unlock();
    return false;
}

bool Application::setLanguage(QString locale)
{
    auto translator = std::make_unique<QTranslator>(this);
    const QString dir = QCoreApplication::applicationDirPath() + QLatin1String("/translations");
    if (!translator->load(QLatin1String("qt_") + locale, dir))
        return false;
    if (lastTranslator)
        QCoreApplication::removeTranslator(lastTranslator);
    lastTranslator = translator.release();
    QCoreApplication::installTranslator(lastTranslator);
    return true;
}

int runVendra2Admin(int &argc, char **argv, const StartupCycleHook &hook)
{
    QCoreApplication::setOrganizationName(QString::fromLatin1(Vendra2Commons::organizationName));
    QCoreApplication::setOrganizationDomain(
        QString::fromLatin1(Vendra2Commons::organizationDomain));
    QCoreApplication::setApplicationName(QString::fromLatin1(Vendra2Commons::applicationName));
    QCoreApplication::setApplicationVersion(QStringLiteral("%1.%2.%3").arg(2).arg(3).arg(4));
    v2InitResources();

    QPointer<Application> app;
    QPointer<MainWindow> window;
    int result = 0;
    for (;;) {
        delete app; // also releases its single-instance segment

        app = new Application(argc, argv);
        if (!app->lock()) {
            DialogFacade::warning(nullptr, QCoreApplication::translate("Application", "Attenzione"),
                QCoreApplication::translate(
                    "Application", "Vendra2Admin sembra essere già in esecuzione."));
            delete app;
            return 1;
        }

        // A configuration that names a service the program cannot use must
        // not be replaced by an empty local database without a word.
        const QString problema = installationFileProblem();
        if (!problema.isEmpty()) {
            DialogFacade::critical(nullptr,
                QCoreApplication::translate("Application", "Configurazione non valida"), problema);
            delete app;
            return 1;
        }

        {
            const QPixmap pixmap(QStringLiteral(":/Resource/splash.jpg"));
            QSplashScreen splash(pixmap);
            splash.show();
            QCoreApplication::processEvents();
            splash.showMessage(
                QCoreApplication::translate("Application", "Avvio applicazione in corso..."),
                Qt::AlignBottom | Qt::AlignHCenter, Qt::white);
            QCoreApplication::processEvents();

            window = new MainWindow();
            if (hook)
                hook(*app, *window, splash);

            QTimer::singleShot(
                Vendra2Startup::startupDelayMs, Qt::PreciseTimer, &splash, &QSplashScreen::close);
            QTimer::singleShot(
                Vendra2Startup::startupDelayMs, Qt::PreciseTimer, window.data(), &QWidget::show);

            app->setLanguage(QLocale::system().name());

            result = app->exec();
            // Widgets must go before the application object that hosts them.
            delete window;
        }

        if (result != Vendra2Startup::restartExitCode)
            break;
    }
    delete app;
    return result;
}
