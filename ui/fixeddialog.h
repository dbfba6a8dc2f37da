#pragma once
// The base of the program's small dialogs: a fixed client size wide enough for the whole title,
// absolute positions, chosen title-bar buttons, centred on the screen each time it is shown and
// kept above the main window.
#include <QDialog>

class QMessageBox;
class QWidget;

// Places a top-level window in the middle of the screen it is on (or the primary screen).
void centreOnScreen(QWidget* window);

// Where a resizable window whose client area would be `size` goes on a screen's available `area`
// when first shown: made smaller where it would not fit with a title bar and borders around it
// (never below `minimum`), and centred. Returns the client rectangle.
QRect placeOnScreen(QSize size, QSize minimum, const QRect& area);
// Moves and, where needed, shrinks a top-level window to that place on its screen, before it is
// first shown. The operator can still make it larger.
void fitOnScreen(QWidget* window);

// Makes a parentless top-level window a transient of the program's main window, so the window
// manager keeps it above that window (a message box over the main window no longer buries it),
// while a disabled main window still leaves it usable. Call it before the window is mapped (from
// its showEvent); a window with a parent widget is left to Qt.
void keepAboveMainWindow(QWidget* window);

// A message box sizes itself to its text; this makes it wide enough for its whole title as well.
void keepTitleWhole(QMessageBox& box);

class FixedDialog : public QDialog {
    Q_OBJECT
  public:
    enum class Border {
        // A title bar without close, minimise or maximise buttons. Window managers that draw them
        // anyway get nowhere with them: their close box does nothing and a minimised dialog comes
        // straight back.
        NoIcons,
        CloseBox, // a title bar with only the close button
    };

    FixedDialog(const QString& title, int clientWidth, int clientHeight, Border border,
                QWidget* parent = nullptr);

    Border border() const { return m_border; }

    // The flags of a top-level window with that border, for windows that cannot derive from this class.
    static Qt::WindowFlags flagsFor(Border border);
    // The narrowest client width at which a title shows whole beside the window icon and the
    // buttons a window manager puts in the title bar, for a window whose text is in `font`.
    static int widthForTitle(const QString& title, QFont font);

  protected:
    // For windows that report on work under way or just finished: Escape must not hide them, only
    // their own button (if any) closes them. Elsewhere Escape gives the dialog's cancelling answer.
    void setEscapeCloses(bool closes) { m_escapeCloses = closes; }

    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void fitTitle();

    Border m_border;
    bool m_escapeCloses = true;
    bool m_titleFitted = false;
};
