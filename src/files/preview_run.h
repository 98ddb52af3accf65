#pragma once

#include "files/preview_plan.h"

#include <QObject>
#include <QString>
#include <QStringDecoder>

#include <memory>

class QProcess;
class QTemporaryFile;

namespace xcpy {

// One preview: "INTERPRETER /plan FILE" over a temporary batch file, its plan read as it comes.
// Nothing here ever waits for the interpreter: a cancelled one is killed and left to end on its
// own, since one stuck in the kernel on a share that stopped answering ends only when the kernel
// lets it.
class PreviewRun : public QObject {
    Q_OBJECT
public:
    enum class State { Idle, Running, Finished, Cancelled, Failed };

    explicit PreviewRun(int rowCount, QObject* parent = nullptr);
    // A preview still running is cancelled.
    ~PreviewRun() override;

    // Writes the batch bytes to a temporary file in the system's temporary folder and starts the
    // interpreter on it; the file is removed when the run ends. A failure to start ends the run
    // at once (ended() may come before this returns).
    void start(const QString& interpreter, const QByteArray& batch);
    // Ends a running preview now; rows not told yet count as cancelled.
    void cancel();

    State state() const { return state_; }
    const PreviewPlan& plan() const { return plan_; }
    std::pair<int, int> takeChangedRows() { return plan_.takeChangedRows(); }
    // What the interpreter wrote to its standard error: its messages in words.
    const QString& messages() const { return messages_; }
    // Why a Failed run failed.
    const QString& failure() const { return failure_; }

signals:
    void progressed(); // more of the plan or of the messages came
    void ended();      // the state is no longer Running

private:
    void readOutput();
    void readMessages();
    void processEnded(int exitCode, bool crashed);
    void startFailed();
    void end(State state, const QString& failure = {});
    // Lets go of the process: a running one is killed and deletes itself once it has ended.
    void releaseProcess();

    PreviewPlan plan_;
    State state_ = State::Idle;
    QString program_;
    QString messages_;
    QString failure_;
    QStringDecoder decoder_{QStringDecoder::Utf8};
    std::unique_ptr<QTemporaryFile> batchFile_;
    QProcess* process_ = nullptr;
};

} // namespace xcpy
