// Saving and loading a large list compared with plainly writing and reading the same bytes.
// Run by hand on a Release build: build/bench/files_bench [folder for the files]
#include "files/codepage.h"
#include "files/list_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <unistd.h>
#include <vector>

namespace {

constexpr int rowCount = 32767;
constexpr int runs = 15;

// An 80-character path of Japanese folder names, different for every row.
QString japanesePath(const QString& drive, int row) {
    static const QString names[] = {QStringLiteral("共有資料"),     QStringLiteral("報告書"),
                                    QStringLiteral("バックアップ"), QStringLiteral("作業～一時"),
                                    QStringLiteral("ﾃﾞｰﾀ①"),        QStringLiteral("経理部－控え")};
    QString path = drive + QStringLiteral("\\%1").arg(row);
    for (int i = 0; path.size() < 80; ++i)
        path += u'\\' + names[(row + i) % 6];
    return path.left(80);
}

double medianMs(const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "failed: %s\n", what);
        std::exit(1);
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir temporary(argc > 1 ? QString::fromLocal8Bit(argv[1]) + "/files-bench-XXXXXX"
                                     : QDir::tempPath() + "/files-bench-XXXXXX");
    require(temporary.isValid(), "temporary folder");

    QList<xcpy::BatchEntry> rows;
    for (int i = 0; i < rowCount; ++i)
        rows.append({japanesePath("C:", i), japanesePath("D:", i), xcpy::CheckMark::OK});
    const xcpy::EncodedFile encoded = xcpy::encodeListFile(rows);
    require(encoded.ok(), "encoding");
    const QByteArray& bytes = encoded.bytes;
    const QString savedPath = temporary.filePath("saved.xcpy");
    const QString rawPath = temporary.filePath("raw.xcpy");

    const auto rawWrite = [&](bool sync) {
        QFile file(rawPath);
        require(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "raw open");
        require(file.write(bytes) == bytes.size(), "raw write");
        require(file.flush(), "raw flush");
        if (sync)
            require(fdatasync(file.handle()) == 0, "raw sync");
    };
    const double raw = medianMs([&] { rawWrite(false); });
    const double rawSynced = medianMs([&] { rawWrite(true); });
    const double save =
        medianMs([&] { require(xcpy::saveListFile(savedPath, rows).ok(), "save"); });
    require(QFile(savedPath).size() == bytes.size(), "saved size");

    const double rawLoad = medianMs([&] {
        QFile file(rawPath);
        require(file.open(QIODevice::ReadOnly), "raw read");
        const QByteArray read = file.readAll();
        require(xcpy::cp932ToUtf8(std::string_view(read.data(), read.size())).ok(), "decode");
    });
    const double load = medianMs([&] {
        const xcpy::ListReadResult result = xcpy::loadListFile(savedPath);
        require(result.ok() && result.rows.size() == rowCount, "load");
    });

    std::printf("%d rows, %lld bytes, median of %d runs\n", rowCount,
                static_cast<long long>(bytes.size()), runs);
    std::printf("raw write %.2f ms, raw write + fdatasync %.2f ms, save %.2f ms\n", raw, rawSynced,
                save);
    std::printf("save: %.1fx of raw write + fdatasync (target <= 3x); %.1fx of raw write alone\n",
                save / rawSynced, save / raw);
    std::printf("raw read + decode %.2f ms, load %.2f ms\n", rawLoad, load);
    std::printf("load: %.1fx of raw read + decode (target <= 3x)\n", load / rawLoad);
    return 0;
}
