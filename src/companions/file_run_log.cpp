#include "companions/file_run_log.h"

#include <QDateTime>

namespace xcpy {

void FileRunLog::LogPath(const QString& path) {
    file_.close();
    file_.setFileName(path);
}

void FileRunLog::LogOption(bool on) {
    on_ = on;
}

void FileRunLog::LogLine(const QString& text) {
    if (!on_ || file_.fileName().isEmpty())
        return;
    if (!file_.isOpen() && !file_.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    const QString line =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
        QLatin1Char('\t') + text + QLatin1Char('\n');
    if (file_.write(line.toUtf8()) < 0 || !file_.flush())
        file_.close(); // try again with the next line
}

} // namespace xcpy
