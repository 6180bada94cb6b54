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

    // How long a cancelled work may take to notice before the task gives up waiting for it.
    static constexpr int kCancelWaitMs = 800;

    // Starts `work` at once on Qt's thread pool.
    SurveyTask(Work work, QObject* parent = nullptr);
    // Cancels the work and waits for it to end, unless it was given up.
    ~SurveyTask() override;

    survey::TaskProgress& Progress() { return *progress_; }
    // Cancels the work: `finished` follows when it ends, or after kCancelWaitMs when it does
    // not (a read that waits on a stalled server and looks at nothing until the server
    // answers). The work then runs out on its own, unheard; it owns what it uses.
    void Cancel();
    bool IsRunning() const { return watcher_.isRunning(); }
    // Blocks until the work has ended, or at most timeoutMs (-1: no limit); finished is still
    // emitted, later, by the event loop.
    void Wait(int timeoutMs = -1);

signals:
    // On the GUI thread, once. error: what the work threw, other than TaskCancelled.
    void finished(std::exception_ptr error, bool cancelled);

private:
    void Finish(std::exception_ptr error, bool cancelled);

    bool finished_ = false;
    bool givenUp_ = false;
    std::shared_ptr<survey::TaskProgress> progress_ = std::make_shared<survey::TaskProgress>();
    std::shared_ptr<std::exception_ptr> error_ = std::make_shared<std::exception_ptr>();
    QFutureWatcher<void> watcher_;
};

}  // namespace keldarn::app
