#pragma once
// Every file dialog of the program. It tells files apart by their names and the kind the file system
// reports, never by reading them: Qt's dialog otherwise reads the first bytes of each file it lists
// to name its type, and a file whose read never ends (/proc/kmsg, a device, a file on a dead network
// share) then held the window for good. It is Qt's own dialog on every desktop, so that this holds
// everywhere, and it asks before replacing a file in a box whose title shows whole.
#include <QFileDialog>

class FileDialog : public QFileDialog {
    Q_OBJECT
  public:
    FileDialog(QWidget* parent, const QString& caption, const QString& directory, const QString& filter);

    // The type the dialog shows for a file, from its name alone (what its icon provider answers).
    static QString typeText(const QFileInfo& file);

  public slots:
    void accept() override;
};
