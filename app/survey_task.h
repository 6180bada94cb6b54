#pragma once

// Long terrain work (boundary sampling, profiles, contours) on a worker thread while the
// window stays responsive: the work sets its progress and looks at the cancel flag; the
// owner watches the progress on a timer and hears `finished` on the GUI thread.

#include "survey/task_progress.h"

#include <QFutureWatcher>
#include <QObject>

#include <exception>
#include <functional>
#include <memory>

namespace keldarn::app {

class SurveyTask : public QObject {
    Q_OBJECT

public:
    using Work = std::function<void(survey::TaskProgress& progress)>;

    // Starts `work` at once on Qt's thread pool.
    SurveyTask(Work work, QObject* parent = nullptr);
    // Cancels the work and waits for it to end.
    ~SurveyTask() override;

    survey::TaskProgress& Progress() { return *progress_; }
    void Cancel() { progress_->Cancel(); }
    bool IsRunning() const { return watcher_.isRunning(); }
    // Blocks until the work has ended (finished is still emitted, later, by the event loop).
    void Wait() { watcher_.waitForFinished(); }

signals:
    // On the GUI thread, once. error: what the work threw, other than TaskCancelled.
    void finished(std::exception_ptr error, bool cancelled);

private:
    std::shared_ptr<survey::TaskProgress> progress_ = std::make_shared<survey::TaskProgress>();
    std::shared_ptr<std::exception_ptr> error_ = std::make_shared<std::exception_ptr>();
    QFutureWatcher<void> watcher_;
};

}  // namespace keldarn::app
