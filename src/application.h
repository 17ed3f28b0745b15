#pragma once

#include <QApplication>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class QLockFile;
class QSharedMemory;
class QSplashScreen;
class QTranslator;
class MainWindow;

namespace Vendra2Startup
{
// Splash close and main-window show; the deferred start-up step follows 10 ms later.
constexpr int startupDelayMs = 500;
constexpr int deferredStartupDelayMs = startupDelayMs + 10;
// Event-loop result that makes the entry point build a fresh application and window.
constexpr int restartExitCode = 101010;
} // namespace Vendra2Startup

class Application : public QApplication
{
    Q_OBJECT

public:
    Application(int &argc, char **argv);
    ~Application() override;

    // True when this process now owns the single-instance segment.
    bool lock();

    static QString sharedMemoryKey() { return QStringLiteral("Vendra2AdminSM"); }

public slots:
    // True when "qt_" + locale was loaded from the "translations" folder beside
    // the program and installed in place of the previous one.
    bool setLanguage(QString locale);

private:
    bool lockSegment();
    bool takeOverStaleSegment();

    QSharedMemory *sharedMemory; // child of the application
    // A shared-memory segment outlives a crashed process on Unix; the lock
    // file beside it records which process owns the key, so a segment left by
    // a dead owner can be told apart from a running instance.
    std::unique_ptr<QLockFile> ownerLock;

    static QPointer<QTranslator> lastTranslator;
};

// Called once per start-up cycle, right after the main window was created and
// before the splash and show timers are armed; lets a driver program observe
// or steer a cycle.
using StartupCycleHook = std::function<void(Application &, MainWindow &, QSplashScreen &)>;

// The program: identity, single-instance guard, splash, main window and the
// restart loop. Returns the result of the last event loop, or 1 when another
// instance is running.
int runVendra2Admin(int &argc, char **argv, const StartupCycleHook &hook = StartupCycleHook());
