#include "backgroundtask.h"

#include "services/vendra2exception.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <exception>
#include <memory>

BackgroundTask::Result BackgroundTask::run(const std::function<void()> &work)
{
    // Written by the thread only, read here only after it has ended.
    auto outcome = std::make_shared<Result>();
    std::unique_ptr<QThread> thread(QThread::create([work, outcome] {
        try {
            work();
            outcome->ok = true;
        } catch (const Vendra2Exception &e) {
            outcome->code = QString::fromStdString(e.getCode());
            outcome->message = QString::fromStdString(e.getMessage());
        } catch (const std::exception &e) {
            outcome->message = QString::fromLocal8Bit(e.what());
        } catch (...) {
            outcome->message = QCoreApplication::translate("BackgroundTask", "Errore sconosciuto");
        }
    }));
    QEventLoop loop;
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    thread->start();
    if (!thread->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    thread->wait();
    return *outcome;
}
