#pragma once
// What a view's controller may ask of the window it lives in: the exchange with the chosen meter
// and what the operator chose, the poll, the group a menu choice shows, and the few shared pieces
// of the window (status bars, grids, menu items, the saving notice). The main window implements
// it; a test gives a controller a host of its own and watches what the view sends and shows.
#include "app/operatoraction.h"
#include "device/flowtrend.h"
#include "device/meteridentity.h"

#include <QList>
#include <QObject>
#include <QString>
#include <functional>

class Exchange;
class QAction;
class StringGrid;
class TForm10;
class TForm15;

// Tells that the line has fallen idle: an exchange, the pause after a write or the last running
// operator action has ended, and nothing else runs.
class LineIdle : public QObject {
    Q_OBJECT
  signals:
    void wentIdle();
};

class ViewHost : public ActionHost {
  public:
    // The parameter groups of "Тип параметров", by the tags of their menu items.
    enum Group {
        GroupSystem = 5,
        GroupGeneral = 6,
        GroupAdjustment = 7,
        GroupCounters = 8,
        GroupArchives = 9,
        GroupJournals = 10,
        // The items under "Архивы" and "Журналы": the tag less ArchiveHour numbers the archive or
        // journal (0..2 archives, 3..5 journals).
        ArchiveHour = 11,
        ArchiveDay = 12,
        ArchiveMonth = 13,
        JournalFault = 14,
        JournalOperator = 15,
        JournalNstate = 16
    };
    // The items of "Файл" whose commands a view carries out.
    enum class FileCommand { SaveArchive, SaveParams, LoadParams };

    // --- The chosen meter ---------------------------------------------------------------------
    // Every request to it goes through here; its engine is exchange().engine().
    virtual Exchange& exchange() = 0;
    // 0 while no meter is chosen.
    virtual int deviceAddress() const = 0;
    // The channel chosen in "Выбор канала": 1 or 2.
    virtual int channel() const = 0;
    // Whether the meter measures on two channels, as its system parameters last said.
    virtual bool twoChannelMode() const = 0;
    virtual void setTwoChannelMode(bool on) = 0;
    // The addresses the device menu lists (taken by other meters on the line).
    virtual QList<int> listedAddresses() const = 0;
    // True while an exchange, the pause after a write, or an operator action runs.
    virtual bool exchangeRunning() const = 0;
    // Counts the operator's choices of a meter (and changes of the line): rows read under another
    // count may be another meter's.
    virtual int meterChoice() const = 0;
    // The chosen meter, for stamping a reading. Its number is asked once per choice (one request,
    // sent again if lost) and kept; it stays empty, and is asked again next time, while the meter
    // does not tell it.
    virtual MeterIdentity chosenMeter() = 0;

    // Sent whenever the line falls idle: exchangeRunning() has just turned false.
    virtual LineIdle& lineIdle() = 0;

    // --- The poll and the groups (polling, stopPolling, startPolling come with ActionHost) ----
    virtual int pollIntervalMs() const = 0;
    // The reader a group choice and the poll run. A group without one shows nothing.
    virtual void setGroupReader(int group, std::function<void()> reader) = 0;
    // The group chosen as from the menu: the coils that go with it, then its reader.
    virtual void chooseGroup(Group group) = 0;
    // Places a group panel in the view area, hidden, among the views a group choice hides.
    virtual void addGroupPanel(QWidget* panel) = 0;
    virtual void hideGroupViews() = 0;
    // A live view's poll (the flows read, or a failure), handed to whoever watches the flows.
    virtual void reportFlows(const trend::Poll& poll) = 0;
    virtual void watchFlows(QObject* receiver, std::function<void(const trend::Poll&)> watch) = 0;

    // --- Archives and journals ----------------------------------------------------------------
    // 0..2 the hour, day and month archives, 3..6 the journals (6: abnormal situations of channel 2).
    virtual int archiveNumber() const = 0;
    virtual StringGrid& archiveGrid() = 0;
    virtual StringGrid& journalGrid() = 0;
    // Whether the last choice in "Тип параметров" was an archive rather than a journal.
    virtual bool archiveChosen() const = 0;
    // The dialog an archive choice waits for; its refusals show in the window's shared error box.
    virtual void setArchiveRangeDialog(TForm10& dialog) = 0;
    // Asked whenever an archive or journal choice would enable "Сохранить архив": whether the grid
    // of that choice holds rows of the chosen meter.
    virtual void setArchiveSaveCheck(std::function<bool()> check) = 0;

    // --- The window around the views ----------------------------------------------------------
    // A tool's item in "Сервис" (shown from its first item on).
    virtual QAction* addServiceItem(const QString& name, const QString& caption) = 0;
    virtual QAction* fileCommand(FileCommand command) = 0;
    virtual void enableChannelChoice() = 0;
    // The status bar's channel panel, naming the chosen channel.
    virtual void showChosenChannel() = 0;
    // The meter and channel as the status bar names them.
    virtual QString deviceCaption() const = 0;
    virtual QString channelCaption() const = 0;
    // Panel 1 of the bottom status bar, beside the link status, raised while it says something.
    virtual void showStatusNote(const QString& text) = 0;
    // "Запись данных в файл", shown around every save into files.
    virtual TForm15& saveNotice() = 0;
    // The application's standard error box.
    virtual void ShowError(const QString& text) = 0;
    // A message that tells the operator something (what to do first), not that something failed.
    virtual void ShowInformation(const QString& text) = 0;
};

// Runs fn at once, or once the line has fallen idle. The engine waits by processing events,
// so a menu item or button can fire inside an exchange: what asks the meter or opens a dialog
// there would start a second exchange inside the first, or hold it up until the dialog closed.
void afterExchange(ViewHost& host, std::function<void()> fn);
