#pragma once

// Shared pieces of the application-shell tests: operators on the embedded
// service database of the private home, and a watcher that answers the modal
// dialogs the program opens on its own.

#include "privatehome.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QVariant>

#include <functional>

class MainWindow;
class QDialog;

namespace apptest
{

// Organization and application name and version as the program sets them.
void setIdentity();

// Local settings store of the program; the service credentials are stored
// there and in appSettings().
void writeLocalSetting(const QString &key, const QVariant &value);
void useCredentials(const QByteArray &username, const QByteArray &password);

// Operators on the program's service database (as "admin").
int addOperator(const QString &username, const QString &password);
void removeOperator(int id);

// Texts of the event log of a main window.
QStringList logTexts(const MainWindow &window);

// Calls `handle` once for every modal dialog that becomes visible, so that no
// test ever waits on one. Without a handler the dialog is rejected.
class ModalWatcher : public QObject
{
    Q_OBJECT
public:
    explicit ModalWatcher(std::function<void(QDialog *)> handle = {});
    QStringList seen() const { return classNames; }

private:
    void poll();
    std::function<void(QDialog *)> handler;
    QTimer timer;
    QList<QPointer<QDialog>> handled;
    QStringList classNames;
};

// Answers a login dialog with these credentials (empty username: "Exit").
std::function<void(QDialog *)> answerLogin(const QString &username, const QString &password);

} // namespace apptest

// main() of a test: private home first, then the application object.
#define APP_TEST_MAIN(TestObject, AppClass)                                                        \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        v2test::usePrivateHome();                                                                  \
        apptest::setIdentity();                                                                    \
        AppClass app(argc, argv);                                                                  \
        v2InitResources();                                                                         \
        DialogFacade::setScripted(true);                                                           \
        TestObject tc;                                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }
