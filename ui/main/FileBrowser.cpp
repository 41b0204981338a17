#include "FileBrowser.h"

#include "DirList.h"
#include "DriveList.h"
#include "FileList.h"
#include "LocalNames.h"

#include <QDir>

FileBrowser::FileBrowser(DriveList* drive1, DirList* dir1, FileList* file1, QObject* parent)
    : QObject(parent), m_drive1(drive1), m_dir1(dir1), m_file1(file1) {
    // Like the platform's lists, they start on the process's current folder and its volume.
    const QString start = QDir::currentPath();
    m_drive1->refresh();
    m_drive1->showDrive(DriveList::volumeRootOf(start));
    m_dir1->setPath(start);
    connect(m_drive1, &DriveList::driveChanged, this, &FileBrowser::Drive1_Change);
    connect(m_dir1, &DirList::pathChanged, this, &FileBrowser::Dir1_Change);
    // Bring the three lists together on the folder list's current folder.
    Dir1_Change();
}

QString FileBrowser::currentFolderOf(const QString& root) const {
    const QString folder = m_currentFolders.value(root);
    return folder.isEmpty() ? root : folder;
}

void FileBrowser::Drive1_Change() {
    const QString root = m_drive1->drive();
    QString folder = currentFolderOf(root);
    // A remembered folder that has gone since falls back to the volume's root. A volume that cannot
    // be opened at all leaves the folder and file lists where they were.
    if (!isOpenableFolder(folder))
        folder = root;
    m_dir1->setPath(folder);
}

void FileBrowser::Dir1_Change() {
    const QString folder = m_dir1->path();
    const QString root = DriveList::volumeRootOf(folder);
    if (!root.isEmpty()) {
        m_currentFolders.insert(root, folder);
        // Opening a subfolder can cross onto another volume (a mount point); the drive list shows
        // it without running the drive change again.
        if (m_drive1->drive() != root)
            m_drive1->showDrive(root);
    }
    m_file1->setPath(folder);
}

void FileBrowser::ShowFolder(const QString& path) {
    if (path.isEmpty())
        return;
    if (!localPathExists(path))
        return;
    const QString root = DriveList::volumeRootOf(path);
    if (root.isEmpty())
        return;
    m_drive1->setDrive(root);
    m_dir1->setPath(path);
}
