#pragma once
// The archive and journal views of the main window: the range dialog the archive menu waits for,
// the readers that fill the two grids, and "Сохранить архив", which exports the grid shown.
#include "archives/archivereading.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QWidget;
class ViewHost;
class TForm10;
class TForm12;
class TForm13;

class ArchivesView : public QObject {
    Q_OBJECT
  public:
    // Builds the view's windows, becomes the reader of the archive and journal groups and the
    // handler of "Сохранить архив". The window owns the result.
    static ArchivesView* install(ViewHost& host);
    ~ArchivesView() override;

    TForm10* Form10() const { return m_form10.get(); }
    TForm12* Form12() const { return m_form12.get(); }
    TForm13* Form13() const { return m_form13.get(); }

    void ReadArchives();
    void ReadJournals();
    void MenuSaveArchiveClick();

    // The computer's local clock (tests fix it).
    std::function<QDateTime()> now;

    // The archive last read into the grid (whole, or as far as the link or "Стоп" let it), with the
    // meter and channel as the window named them then; the reading carries its meter's identity.
    struct ShownArchive {
        archives::ArchiveReading reading;
        QString device, channel;
    };
    const std::optional<ShownArchive>& lastArchive() const { return m_lastArchive; }
    // Whether the grid of the choice in "Тип параметров" holds rows read from the meter chosen now:
    // what "Сохранить архив" may save.
    bool saveAllowed() const;

  signals:
    void archiveRead();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    explicit ArchivesView(ViewHost& host);
    int channel() const;
    // Tells in panel 1 of the bottom status bar, beside the link status and for as long as the grid
    // shows, that the archive shown lacks periods the meter may have recorded; empty clears it.
    void showLostPeriods(const QString& text);

    // The journal last read into its grid, as the file names it.
    struct ShownJournal {
        archives::Reading reading;
        int archiveNumber = 3;
        QString channel;
    };
    const archives::Reading* shownReading() const;
    void updateSaveItem();

    ViewHost& m_host;
    // Top-level windows of their own: a disabled main window must not disable them.
    std::unique_ptr<TForm10> m_form10;
    std::unique_ptr<TForm12> m_form12;
    std::unique_ptr<TForm13> m_form13;
    std::optional<ShownArchive> m_lastArchive;
    std::optional<ShownJournal> m_lastJournal;
};
