#include "ImageWriteOutcome.h"

#include "TextConversion.h"

#include <QDir>
#include <QStringList>

ImageWriteSummary SummarizeImageWrite(const flintor::ImageWriteResult& result) {
    using Step = flintor::ImageWriteStep;
    QStringList steps;
    const auto path = [](const std::string& file) { return QDir::toNativeSeparators(fromStd(file)); };
    if (!result.recordPath.empty())
        steps << QStringLiteral("Record saved in %1.").arg(path(result.recordPath));
    if (!result.backupPath.empty())
        steps << QStringLiteral("Copy of the image area saved in %1.").arg(path(result.backupPath));
    QStringList values;
    for (const flintor::PartitionWrite& write : result.writes)
        if (write.ok)
            values << fromStd(write.name);
    if (!values.isEmpty())
        steps << QStringLiteral("%1 set and read back as calculated.").arg(values.join(QStringLiteral(", ")));
    if (result.sent && result.sent->ok())
        steps << QStringLiteral("Image written (%1 bytes, %2).")
                     .arg(result.sent->bytes)
                     .arg(fromStd(result.sent->event.reply));
    if (result.readBack == flintor::ImageReadBack::Same)
        steps << QStringLiteral("It reads back as sent.");
    else if (result.readBack == flintor::ImageReadBack::Unavailable)
        steps << fromStd(result.readBackNote);
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
    return {steps.join(QLatin1Char(' ')), !result.ok()};
}
