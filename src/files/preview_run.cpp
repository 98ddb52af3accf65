#include "files/preview_run.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryFile>

namespace xcpy {

PreviewRun::PreviewRun(int rowCount, QObject* parent) : QObject(parent), plan_(rowCount) {}

PreviewRun::~PreviewRun() {
    releaseProcess();
}

void PreviewRun::start(const QString& interpreter, const QByteArray& batch) {
    state_ = State::Running;
    program_ = QFileInfo(interpreter).fileName();
    batchFile_ = std::make_unique<QTemporaryFile>(QDir::tempPath() +
                                                  QStringLiteral("/xcpylist-preview-XXXXXX.bat"));
    if (!batchFile_->open() || batchFile_->write(batch) != batch.size() || !batchFile_->flush()) {
        end(State::Failed,
            QStringLiteral("一時ファイルを書き込めません: %1").arg(batchFile_->errorString()));
        return;
    }
    batchFile_->close();

    process_ = new QProcess(this);
    process_->setStandardInputFile(QProcess::nullDevice()); // a preview asks nothing
    connect(process_, &QProcess::readyReadStandardOutput, this, &PreviewRun::readOutput);
    connect(process_, &QProcess::readyReadStandardError, this, &PreviewRun::readMessages);
    connect(process_, &QProcess::finished, this, [this](int exitCode, QProcess::ExitStatus status) {
        processEnded(exitCode, status == QProcess::CrashExit);
    });
    connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            startFailed();
    });
    process_->start(interpreter, {QStringLiteral("/plan"), batchFile_->fileName()});
}

void PreviewRun::cancel() {
    if (state_ != State::Running)
        return;
    releaseProcess();
    end(State::Cancelled);
}

void PreviewRun::readOutput() {
    plan_.feed(process_->readAllStandardOutput());
    emit progressed();
}

void PreviewRun::readMessages() {
    messages_ += decoder_.decode(process_->readAllStandardError());
    emit progressed();
}

void PreviewRun::processEnded(int exitCode, bool crashed) {
    readOutput();
    readMessages();
    releaseProcess();
    if (crashed)
        end(State::Failed, QStringLiteral("%1 が途中で終了しました").arg(program_));
    else if (plan_.currentRow() < 0 && !plan_.rows().isEmpty())
        // An interpreter that cannot preview, or could not read the batch file, tells no line.
        end(State::Failed, QStringLiteral("%1 から予定を受け取れませんでした（終了コード %2）")
                               .arg(program_)
                               .arg(exitCode));
    else
        end(State::Finished);
}

void PreviewRun::startFailed() {
    const QString reason = process_->errorString();
    releaseProcess();
    end(State::Failed, QStringLiteral("%1 を起動できません: %2").arg(program_, reason));
}

void PreviewRun::end(State state, const QString& failure) {
    if (state_ != State::Running)
        return;
    state_ = state;
    failure_ = failure;
    batchFile_.reset();
    plan_.end(state == State::Cancelled);
    emit ended();
}

void PreviewRun::releaseProcess() {
    if (!process_)
        return;
    QProcess* process = std::exchange(process_, nullptr);
    process->disconnect(this);
    if (process->state() == QProcess::NotRunning) {
        process->deleteLater();
        return;
    }
    process->kill();
    // Deleting a running QProcess waits for it; this one deletes itself once it has ended.
    process->setParent(nullptr);
    connect(process, &QProcess::finished, process, &QObject::deleteLater);
}

} // namespace xcpy
