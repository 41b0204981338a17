// A whole Calculate in the real window, in-process: status texts with the events they let through,
// the SquashFS search over a 16 MiB image whose magic lies in the last chunk, the results box and the
// partition map. And the file list showing a folder of 5000 files, sorted as a person counts.
#include "DirList.h"
#include "FileList.h"
#include "frmMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <random>

namespace {

constexpr qint64 kImageLength = 16 * 1024 * 1024;
constexpr qint64 kMagicOffset = 16'700'000;

QByteArray sixteenMegabyteImage() {
    QByteArray bytes(kImageLength, '\0');
    std::mt19937_64 random(7);
    for (qint64 i = 0; i < kImageLength; ++i)
        bytes[i] = static_cast<char>(random() & 0x7F);
    const unsigned char header[16] = {0x34, 0x44, 0x54, 0x4D, 1, 2, 3, 4, 0x40, 0x30, 0x20, 0x10, 0, 0, 0, 0};
    std::copy(std::begin(header), std::end(header), bytes.begin());
    for (qint64 i = 0; i + 4 <= kImageLength; ++i)
        if (bytes[i] == 'h' && bytes[i + 1] == 's' && bytes[i + 2] == 'q' && bytes[i + 3] == 's')
            bytes[i] = 'H';
    bytes.replace(kMagicOffset, 4, "hsqs");
    return bytes;
}

void BM_CalculateIn16MiBImage(benchmark::State& state) {
    QTemporaryDir folder;
    QFile image(folder.filePath("router-16mb.bin"));
    if (!image.open(QIODevice::WriteOnly) || image.write(sixteenMegabyteImage()) != kImageLength) {
        state.SkipWithError("cannot write the image");
        return;
    }
    image.close();

    frmMain window(nullptr, folder.filePath("settings.ini"));
    window.setMessageHandler([](const QString&, QMessageBox::Icon) {});
    window.show();
    window.ShowFolder(folder.path());
    for (int i = 0; i < window.File1->ListCount(); ++i)
        window.File1->setSelected(i, window.File1->List(i) == "router-16mb.bin");
    window.optMem[2]->setChecked(true);
    window.txtMB->setText("16");
    window.chkPSP->setChecked(true);
    QApplication::processEvents();

    for (auto _ : state) {
        window.cmdRead_Click();
        if (window.state().FilesystemOffset != kMagicOffset) {
            state.SkipWithError("the calculation did not find the magic");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * kImageLength);
    window.close();
}
BENCHMARK(BM_CalculateIn16MiBImage)->Unit(benchmark::kMillisecond)->UseRealTime();

// Target: well under a second, so that a download folder full of files opens without a pause.
void BM_ShowFolderOf5000Files(benchmark::State& state) {
    QTemporaryDir folder;
    for (int i = 0; i < 5000; ++i) {
        QFile file(folder.filePath(QStringLiteral("fw%1.bin").arg(i)));
        if (!file.open(QIODevice::WriteOnly)) {
            state.SkipWithError("cannot create the files");
            return;
        }
    }
    frmMain window(nullptr, folder.filePath("settings.ini"));
    window.setMessageHandler([](const QString&, QMessageBox::Icon) {});
    for (auto _ : state) {
        window.ShowFolder(folder.path());
        if (window.File1->ListCount() != 5000) {
            state.SkipWithError("the list does not hold every file");
            break;
        }
        window.ShowFolder(QDir::rootPath());
    }
}
BENCHMARK(BM_ShowFolderOf5000Files)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
