#include "app/survey_task.h"

#include <QtConcurrent/QtConcurrentRun>

namespace keldarn::app {

SurveyTask::SurveyTask(Work work, QObject* parent) : QObject(parent)
{
    connect(&watcher_, &QFutureWatcher<void>::finished, this,
            [this] { emit finished(*error_, progress_->Cancelled() && !*error_); });
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
    watcher_.waitForFinished();
}

}  // namespace keldarn::app
