#pragma once
// A captioned group of radio buttons addressed by item index (-1: none selected), laid out in
// columns that share the box evenly; each item may carry a small grey note to the right of it.
#include <QGroupBox>
#include <QStringList>
#include <vector>

class QLabel;
class QRadioButton;

class RadioGroup : public QGroupBox {
    Q_OBJECT
  public:
    RadioGroup(const QString& caption, const QStringList& items, QWidget* parent = nullptr, int columns = 1);

    int count() const { return int(m_buttons.size()); }
    QString item(int index) const;
    // Index of the item whose text equals text, or -1.
    int indexOf(const QString& text) const;
    int itemIndex() const;
    // An index outside the items clears the selection.
    void setItemIndex(int index);
    QRadioButton* button(int index) const;

    void setItemNote(int index, const QString& note);
    QLabel* itemNote(int index) const;

  signals:
    // The operator picked another item; a click on the item already selected is not reported.
    void clicked(int index);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void layoutItems();
    int m_columns;
    std::vector<QRadioButton*> m_buttons;
    std::vector<QLabel*> m_notes;
};
