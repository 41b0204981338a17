#include "ImageWriteOutcome.h"

#include "TextConversion.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

ImageWriteSummary SummarizeImageWrite(const flintor::ImageWriteResult& result) {
    using Step = flintor::ImageWriteStep;
    QStringList steps;
    if (!result.recordPath.empty())
        steps << QStringLiteral("Record saved in %1.")
                     .arg(QDir::toNativeSeparators(fromStd(result.recordPath)));
    if (!result.backupPath.empty()) {
        const QFileInfo record(fromStd(result.recordPath)), backup(fromStd(result.backupPath));
        steps << (record.absolutePath() == backup.absolutePath()
                      ? QStringLiteral("Copy of the image area saved beside it as %1.").arg(backup.fileName())
                      : QStringLiteral("Copy of the image area saved in %1.")
                            .arg(QDir::toNativeSeparators(backup.filePath())));
    }
    // In the order they were written: mtd4 before the image, the others after it.
    const auto written = [&result](bool imageArea) {
        QStringList names;
        for (const flintor::PartitionWrite& write : result.writes)
            if (write.ok && (write.name == "mtd4") == imageArea)
                names << fromStd(write.name);
        return names.isEmpty() ? QString()
                               : QStringLiteral("%1 set and read back as calculated.")
                                     .arg(names.join(QStringLiteral(", ")));
    };
    steps << written(true);
    if (result.sent && result.sent->ok())
        steps << QStringLiteral("Image written (%1 bytes, %2).")
                     .arg(result.sent->bytes)
                     .arg(fromStd(result.sent->event.reply));
    if (result.readBack == flintor::ImageReadBack::Same)
        steps << QStringLiteral("It reads back as sent.");
    else if (result.readBack == flintor::ImageReadBack::Unavailable)
        steps << fromStd(result.readBackNote);
    steps << written(false);
    if (result.rebooted)
        steps << QStringLiteral("The router restarts.");
    else if (result.ok() && result.sent)
        steps << QStringLiteral("Switch the router off and on to start its firmware.");
    if (!result.ok())
        steps << fromStd(result.message);
    if (result.imageAreaUnfinished())
        steps << QStringLiteral(
            "The image area is unfinished: the router will not start its firmware until an image is written "
            "whole. Its boot loader is untouched and still answers for a few seconds after power-on: press "
            "\"Read from router\", switch the router on, and write the image again.");
    else if (!result.ok() && result.nothingWritten() && result.stoppedAt != Step::Checks &&
             result.stoppedAt != Step::Record && result.stoppedAt != Step::Backup &&
             result.stoppedAt != Step::BackupFile)
        steps << QStringLiteral("Nothing was written.");
    steps.removeAll(QString());
    return {steps.join(QLatin1Char(' ')), !result.ok()};
}
