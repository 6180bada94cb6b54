#include "app/survey_task.h"

#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

namespace keldarn::app {

SurveyTask::SurveyTask(Work work, QObject* parent) : QObject(parent)
{
    connect(&watcher_, &QFutureWatcher<void>::finished, this,
            [this] { Finish(*error_, progress_->Cancelled() && !*error_); });
    // The work owns what it uses, so it may outlive nothing of the window's.
    watcher_.setFuture(QtConcurrent::run([work = std::move(work), progress = progress_, error = error_] {
        try {
            work(*progress);
        } catch (const survey::TaskCancelled&) {
            progress->Cancel();
        } catch (...) {
            *error = std::current_exception();
        }
    }));
}

SurveyTask::~SurveyTask()
{
    progress_->Cancel();
    watcher_.disconnect(this);
    if (!givenUp_)
        watcher_.waitForFinished();
}

void SurveyTask::Cancel()
{
    progress_->Cancel();
    QTimer::singleShot(kCancelWaitMs, this, [this] {
        if (finished_)
            return;
        givenUp_ = true;
        Finish(nullptr, true);
    });
}

void SurveyTask::Wait(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (watcher_.isRunning() && (timeoutMs < 0 || clock.elapsed() < timeoutMs))
        QThread::msleep(10);
}

void SurveyTask::Finish(std::exception_ptr error, bool cancelled)
{
    if (finished_)
        return;
    finished_ = true;
    emit finished(error, cancelled);
}

}  // namespace keldarn::app
