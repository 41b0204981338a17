#pragma once

#include <QHash>
#include <QObject>
#include <QString>

class DirList;
class DriveList;
class FileList;

/// Keeps the drive, folder and file lists in step and moves them to a given path.
///
/// The browser starts the lists on the process's current folder: the drive list reads the volumes and
/// shows the one holding it, the folder list opens it and the file list lists it, each once.
/// `Drive1_Change` opens the chosen volume's current folder in the folder list: the folder last
/// open on that volume, at first its root (for the volume of the process's current folder, that
/// folder). `Dir1_Change` lists the open folder in the file list. Both run synchronously from the
/// lists' change signals, so setting `Drive` runs the drive change and, through it, the folder
/// change before the caller goes on. The lists stay owned by their parent widget.
class FileBrowser : public QObject {
    Q_OBJECT

public:
    FileBrowser(DriveList* drive1, DirList* dir1, FileList* file1, QObject* parent = nullptr);

    /// Moves the browser to `path`, step by step, never reporting anything: an empty path or one
    /// where nothing exists stops at once; otherwise the drive list moves to the volume holding the
    /// path (which opens that volume's current folder), then the folder list opens the path, which it
    /// refuses for a file or an unreadable folder, leaving the lists as far as they got.
    void ShowFolder(const QString& path);

    /// The folder the drive list's volume `root` opens when it is chosen.
    QString currentFolderOf(const QString& root) const;

public slots:
    void Drive1_Change();
    void Dir1_Change();

private:
    DriveList* m_drive1;
    DirList* m_dir1;
    FileList* m_file1;
    QHash<QString, QString> m_currentFolders; // volume root -> folder last open on it
};
