#include "ui/generalparambox.h"

#include "ui/conditionpicture.h"
#include "ui/displayonly.h"
#include "ui/keypressfilter.h"
#include "ui/panelstyle.h"
#include "ui/tag.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>

using namespace genparams;

namespace {

const QColor Blue(0x00, 0x00, 0xFF);

// The grid of a box: two columns of 121-pixel fields with their captions above them, and a centre
// place for a lone last field. A row with a two-line caption pushes the rows below it down.
constexpr int ColumnX[] = {8, 192, 96};
constexpr int FieldWidth = 121, FieldHeight = 21;
constexpr int FirstCaptionY = 18, RowPitch = 40, CaptionLine = 13, CaptionToField = 14;
constexpr int ConditionCaptionY = 352, CellY = 373, LeftCellX = 32, CellPitch = 24;

int captionY(const Layout& layout, int row) {
    int y = FirstCaptionY + row * RowPitch;
    for (const Field& f : layout.fields)
        if (f.caption2 && f.row <= row) y += CaptionLine;
    return y;
}

} // namespace

GeneralParamBox::GeneralParamBox(const Layout& layout, int channel, QWidget* parent)
    : QGroupBox(QStringLiteral("Канал %1").arg(channel + 1), parent), m_layout(layout), m_channel(channel) {
    setObjectName(boxName(layout, channel));
    setFixedSize(Width, layout.boxHeight);
    // The channel titles are blue, their captions navy like every panel's.
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, Blue);
    setPalette(pal);
    for (const Field& field : layout.fields) {
        if (field.editor == Editor::Cells)
            addCells(field);
        else
            addField(field, captionY(layout, field.row));
    }
    hide();
}

QLabel* GeneralParamBox::addCaption(const QString& name, const QString& text, int x, int y) {
    QLabel* label = panelstyle::caption(text, QString(), this);
    label->setObjectName(name);
    label->setGeometry(x, y, std::max(FieldWidth, label->sizeHint().width()), CaptionLine);
    return label;
}

void GeneralParamBox::addField(const Field& field, int top) {
    const int x = ColumnX[int(field.column)];
    const QString name = controlName(m_layout, field, m_channel);
    const QString caption = captionName(m_layout, field, m_channel);
    if (field.caption2) {
        addCaption(caption, QString::fromUtf8(field.caption), x, top - CaptionLine);
        addCaption(caption + QStringLiteral("Line2"), QString::fromUtf8(field.caption2), x, top);
    } else {
        QLabel* label = addCaption(caption, QString::fromUtf8(field.caption), x, top);
        if (field.captionName[m_channel]) m_pulseWeightCaption = label;
    }

    QWidget* control = nullptr;
    if (field.editor == Editor::List) {
        auto* combo = new QComboBox(this);
        combo->setEditable(false);
        combo->addItems(items::texts(field.list));
        combo->setCurrentIndex(-1);
        connect(combo, &QComboBox::currentIndexChanged, this,
                [this, name](int index) { emit listChosen(name, index); });
        m_combos.insert(&field, combo);
        control = combo;
    } else {
        auto* edit = new QLineEdit(this);
        if (field.editable()) {
            auto* keys =
                new KeyPressFilter(edit, keysOf(field.editor), [this, name] { emit editCommitted(name); });
            keys->setDotToComma(true);
        } else {
            EditDateAdjKeyPress(edit);
        }
        if (field.fixedText) edit->setText(QString::fromUtf8(field.fixedText));
        m_edits.insert(&field, edit);
        control = edit;
    }
    control->setObjectName(name);
    control->setGeometry(x, top + CaptionToField, FieldWidth, FieldHeight);
    if (field.editable()) tag::set(control, field.tagOf(m_channel));
}

void GeneralParamBox::addCells(const Field& field) {
    addCaption(QStringLiteral("LabelConditions") + QString::fromLatin1(m_layout.code) +
                   QStringLiteral("Ch%1").arg(m_channel + 1),
               QString::fromUtf8(field.caption), LeftCellX, ConditionCaptionY);
    for (int bit = 0; bit < field.bits[m_channel]; ++bit) {
        for (bool cross : {false, true}) {
            auto* picture = new ConditionPicture(
                cross ? ConditionPicture::Kind::Cross : ConditionPicture::Kind::Bar, this);
            picture->setObjectName(pictureName(m_layout, m_channel, bit, cross));
            picture->move(LeftCellX + CellPitch * (7 - bit), CellY);
            tag::set(picture, bitValue(bit));
            picture->setVisible(!cross);
            connect(picture, &ConditionPicture::clicked, this,
                    [this, picture] { emit cellClicked(picture->objectName()); });
            m_cells[bit][cross ? 1 : 0] = picture;
        }
    }
}

void GeneralParamBox::fill(const RegisterBlock& block, bool twoChannelMode) {
    for (const Field& field : m_layout.fields) {
        if (field.editor == Editor::Fixed || !block.has(field.reg[m_channel], field.registers())) continue;
        if (field.editor == Editor::List) {
            const auto index = itemIndex(field, m_channel, block);
            if (!index) continue;
            QComboBox* combo = m_combos.value(&field);
            const QSignalBlocker quiet(combo);
            combo->setCurrentIndex(*index);
            if (field.list == items::List::PulseOutputModes) setPulseOutputMode(*index);
        } else if (field.editor == Editor::Cells) {
            const QList<Cell> shown =
                cells(field, m_channel, *block.byte(field.reg[m_channel]), twoChannelMode);
            for (int bit = 0; bit < shown.size(); ++bit) {
                m_cells[bit][0]->setVisible(shown[bit] == Cell::Bar);
                m_cells[bit][1]->setVisible(shown[bit] == Cell::Cross);
            }
        } else if (const auto text = fieldText(field, m_channel, block)) {
            m_edits.value(&field)->setText(*text);
        }
    }
}

void GeneralParamBox::setPulseOutputMode(int mode) {
    if (!m_pulseWeightCaption) return;
    if (const auto caption = pulseWeightCaption(mode)) m_pulseWeightCaption->setText(*caption);
}

void GeneralParamBox::showValue(const char* fieldName, float value) {
    if (const Field* field = fieldNamed(m_layout, fieldName))
        if (QLineEdit* e = edit(*field)) e->setText(formatValue(*field, value));
}

void GeneralParamBox::flipCell(ConditionPicture* clicked) {
    for (const auto& cell : m_cells) {
        if (cell[0] != clicked && cell[1] != clicked) continue;
        for (ConditionPicture* picture : cell)
            picture->setVisible(picture != clicked);
    }
}

QLineEdit* GeneralParamBox::edit(const Field& field) const {
    return m_edits.value(&field);
}

