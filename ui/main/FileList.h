#pragma once

#include <QListWidget>
#include <QPoint>
#include <QString>

/// The file list (`File1`): the regular, not hidden files of its `Path` whose names match its
/// `Pattern`, sorted by name without regard to case (numbers by value). One file at most is selected.
///
/// `Pattern` is a ";"-separated list of wildcards ("*" any run, "?" any one character) matched
/// without regard to case, so "*.bin" finds FIRMWARE.BIN; "*.*" means every file, with or without a
/// dot, as users of the original platform expect. Right-button and other button releases are passed
/// on as mouseUp(), mirroring `File1_MouseUp(button, shift, x, y)`. The list starts empty, with no
/// path, until the browser gives it one.
class FileList : public QListWidget {
    Q_OBJECT
    Q_PROPERTY(QString Path READ path WRITE setPath)
    Q_PROPERTY(QString Pattern READ pattern WRITE setPattern)
    Q_PROPERTY(QString FileName READ fileName)

public:
    /// The standard image filter the list starts with.
    static constexpr const char* kImagePattern = "*.img;*.bin";

    explicit FileList(QWidget* parent = nullptr);

    QString path() const { return m_path; }
    /// Lists the files of `folder`. A folder that cannot be read gives an empty list (its path is
    /// still taken), never an error.
    void setPath(const QString& folder);
    QString pattern() const { return m_pattern; }
    /// Takes the pattern exactly as given and lists the folder again with it.
    void setPattern(const QString& pattern);
    /// Reads the folder again, keeping the selected file selected when it is still listed.
    void refresh();

    /// The selected file's name without its folder; empty when none is selected.
    QString fileName() const;
    /// Entry `i` (from 0) of the list; empty outside the list.
    QString List(int i) const;
    int ListCount() const { return count(); }
    bool Selected(int i) const;
    /// Selects entry `i` (and only it) or clears its selection; out of range does nothing.
    void setSelected(int i, bool selected);

    /// Whether `name` matches the ";"-separated wildcard list `pattern`, without regard to case.
    static bool matchesPattern(const QString& name, const QString& pattern);

    QSize sizeHint() const override;

signals:
    /// A mouse button was released over the list, at `pos` in the list's coordinates.
    void mouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    /// An empty list that has the keyboard focus shows it where its first entry would be.
    void paintEvent(QPaintEvent* event) override;

private:
    void fill(const QString& keepSelected);
    QString m_path;
    QString m_pattern;
};
