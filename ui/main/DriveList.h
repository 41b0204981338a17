#pragma once

#include <QComboBox>
#include <QString>

/// The drive list (`Drive1`): the mounted volumes, which stand in for drives on this platform.
///
/// Each entry shows a volume's root path and, when it has one, its name; `Drive` is the root path
/// of the selected volume ("/", "/media/usb"). Choosing another volume, by hand or through
/// setDrive(), emits driveChanged() once, synchronously. The list starts empty: the browser reads the
/// volumes when it starts.
class DriveList : public QComboBox {
    Q_OBJECT
    Q_PROPERTY(QString Drive READ drive WRITE setDrive NOTIFY driveChanged)

public:
    explicit DriveList(QWidget* parent = nullptr);

    /// Root path of the selected volume; empty only when no volume is known.
    QString drive() const;
    /// Selects the volume whose root path is `root`, adding it when the list does not know it yet
    /// (it was mounted after the last refresh). Returns false, changing nothing, when `root` is not
    /// the root of a mounted volume. Emits driveChanged() when the selection moves.
    bool setDrive(const QString& root);
    /// Selects the volume without emitting driveChanged(), for keeping the list in step with a
    /// folder that was opened on another volume.
    bool showDrive(const QString& root);
    /// Reads the mounted volumes again, keeping the selected one when it is still mounted.
    void refresh();

    /// Root path of the volume that holds `path`, or empty when there is none.
    static QString volumeRootOf(const QString& path);

    QSize sizeHint() const override;

signals:
    void driveChanged();

protected:
    void showPopup() override;

private:
    int indexOfRoot(const QString& root) const;
    void addVolume(const QString& root, const QString& name);
    bool m_quiet = false;
};
