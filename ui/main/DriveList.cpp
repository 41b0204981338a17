#include "DriveList.h"

#include "LocalNames.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <algorithm>

namespace {

bool isUsableVolume(const QStorageInfo& volume) {
    return volume.isValid() && volume.isReady() && !volume.rootPath().isEmpty();
}

} // namespace

DriveList::DriveList(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(12);
    connect(this, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_quiet)
            emit driveChanged();
    });
}

QString DriveList::drive() const {
    return currentData().toString();
}

QString DriveList::volumeRootOf(const QString& path) {
    if (path.isEmpty())
        return {};
    // QStorageInfo takes ordinary text; a component whose name is not valid UTF-8 would not be
    // found, so look the volume up from the nearest ancestor whose name survives the trip.
    QString probe = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    while (encodeLocalName(probe) != probe.toUtf8() || !QFileInfo::exists(probe)) {
        const qsizetype slash = probe.lastIndexOf(QLatin1Char('/'));
        if (slash <= 0) {
            probe = QStringLiteral("/");
            break;
        }
        probe.truncate(slash);
    }
    const QStorageInfo volume(probe);
    return isUsableVolume(volume) ? volume.rootPath() : QString();
}

int DriveList::indexOfRoot(const QString& root) const {
    return findData(root);
}

void DriveList::addVolume(const QString& root, const QString& name) {
    const QString text = name.isEmpty() ? root : root + QStringLiteral("  [") + name + QLatin1Char(']');
    addItem(text, root);
}

void DriveList::refresh() {
    const QString selected = drive();
    QList<QStorageInfo> volumes = QStorageInfo::mountedVolumes();
    std::sort(volumes.begin(), volumes.end(),
              [](const QStorageInfo& a, const QStorageInfo& b) { return a.rootPath() < b.rootPath(); });
    const bool wasQuiet = m_quiet;
    m_quiet = true;
    clear();
    for (const QStorageInfo& volume : volumes) {
        if (isUsableVolume(volume) && indexOfRoot(volume.rootPath()) < 0)
            addVolume(volume.rootPath(), volume.name());
    }
    if (!selected.isEmpty()) {
        if (indexOfRoot(selected) < 0)
            addVolume(selected, QStorageInfo(selected).name());
        setCurrentIndex(indexOfRoot(selected));
    }
    m_quiet = wasQuiet;
}

bool DriveList::setDrive(const QString& root) {
    if (root.isEmpty())
        return false;
    int index = indexOfRoot(root);
    if (index < 0) {
        const QStorageInfo volume(root);
        if (!isUsableVolume(volume) || volume.rootPath() != root)
            return false;
        const bool wasQuiet = m_quiet;
        m_quiet = true;
        addVolume(root, volume.name());
        m_quiet = wasQuiet;
        index = indexOfRoot(root);
    }
    setCurrentIndex(index);
    return true;
}

bool DriveList::showDrive(const QString& root) {
    const bool wasQuiet = m_quiet;
    m_quiet = true;
    const bool ok = setDrive(root);
    m_quiet = wasQuiet;
    return ok;
}

void DriveList::showPopup() {
    // Volumes come and go (a USB stick plugged in); the list is read afresh each time it opens.
    refresh();
    QComboBox::showPopup();
}

QSize DriveList::sizeHint() const {
    const QSize base = QComboBox::sizeHint();
    return {std::max(base.width(), 200), base.height()};
}
