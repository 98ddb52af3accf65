#include "companions/file_run_log.h"

#include <QDateTime>
#include <QFile>

namespace xcpy {

void FileRunLog::LogPath(const QString& path) {
    path_ = path;
}

void FileRunLog::LogOption(bool on) {
    on_ = on;
}

void FileRunLog::LogLine(const QString& text) {
    if (!on_ || path_.isEmpty())
        return;
    QFile file(path_);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return;
    const QByteArray line =
        (QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
         QLatin1Char('\t') + text + QLatin1Char('\n'))
            .toUtf8();
    const qint64 before = file.size();
    // A line cut short (a full disk) would run into the next one: take it back.
    if (file.write(line) != line.size())
        file.resize(before);
}

} // namespace xcpy
