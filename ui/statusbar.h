#pragma once
// A status bar of fixed-width text panels, each with its own alignment and bevel (a raised or
// lowered frame), laid out left to right; the last panel takes whatever width is left.
#include <QFrame>
#include <QString>
#include <vector>

class QLabel;

class StatusBar : public QFrame {
    Q_OBJECT
  public:
    enum class Bevel { None, Lowered, Raised };

    static constexpr int DefaultHeight = 19;

    explicit StatusBar(QWidget* parent = nullptr);

    // Appends a panel; returns its index. Panels are QLabels named "Panel0", "Panel1", ...
    int addPanel(int width, Qt::Alignment alignment = Qt::AlignLeft, Bevel bevel = Bevel::Lowered);
    int panelCount() const { return int(m_panels.size()); }
    QLabel* panel(int index) const;

    QString text(int index) const;
    void setText(int index, const QString& text);
    Bevel bevel(int index) const;
    void setBevel(int index, Bevel bevel);
    int panelWidth(int index) const;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    struct Panel {
        QLabel* label;
        int width;
    };
    void layoutPanels();
    std::vector<Panel> m_panels;
};
