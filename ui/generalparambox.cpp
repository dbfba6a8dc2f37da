#include "ui/generalparambox.h"

#include "ui/conditionpicture.h"
#include "ui/fieldbuilder.h"
#include "ui/panelstyle.h"
#include "ui/tag.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

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
    for (const Row& r : layout.fields)
        if (r.extra.caption2 && r.extra.row <= row) y += CaptionLine;
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
    m_fields = new FieldBuilder(this);
    connect(m_fields, &FieldBuilder::committed, this,
            [this](const QString& name) { emit editCommitted(name); });
    connect(m_fields, &FieldBuilder::chosen, this, &GeneralParamBox::listChosen);
    for (const Row& row : layout.fields) {
        if (row.field.control == param::Control::Cells)
            addCells(row);
        else
            addField(row, captionY(layout, row.extra.row));
    }
    hide();
}

QLabel* GeneralParamBox::addCaption(const QString& name, const QString& text, int x, int y) {
    QLabel* label = panelstyle::caption(text, QString(), this);
    label->setObjectName(name);
    label->setGeometry(x, y, std::max(FieldWidth, label->sizeHint().width()), CaptionLine);
    return label;
}

void GeneralParamBox::addField(const Row& row, int top) {
    const int x = ColumnX[int(row.extra.column)];
    const QString name = controlName(m_layout, row, m_channel);
    const QString caption = captionName(m_layout, row, m_channel);
    // A two-line caption starts a line higher.
    const int lines = row.extra.caption2 ? 2 : 1;
    const param::Place place{.x = x,
                             .y = top + CaptionToField,
                             .width = FieldWidth,
                             .height = FieldHeight,
                             .captionAbove = CaptionToField + (lines - 1) * CaptionLine,
                             .captionHeight = CaptionLine};
    m_fields->build(row.field, this, name, param::registerFor(row.field, m_channel + 1), place, caption);
    if (row.extra.caption2)
        addCaption(caption + QStringLiteral("Line2"), QString::fromUtf8(row.extra.caption2), x, top);
    else if (row.extra.captionName[m_channel])
        m_pulseWeightCaption = m_fields->caption(name);
    if (row.extra.fixedText) edit(row)->setText(QString::fromUtf8(row.extra.fixedText));
    // The diameter's Tag selects the channel, not a register.
    if (row.extra.pair == Pair::Diameter) tag::set(edit(row), row.tagOf(m_channel));
}

void GeneralParamBox::addCells(const Row& row) {
    addCaption(QStringLiteral("LabelConditions") + QString::fromLatin1(m_layout.code) +
                   QStringLiteral("Ch%1").arg(m_channel + 1),
               QString::fromUtf8(row.field.caption), LeftCellX, ConditionCaptionY);
    for (int bit = 0; bit < row.extra.bits[m_channel]; ++bit) {
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
    for (const Row& row : m_layout.fields) {
        const param::Field& f = row.field;
        const int reg = param::registerFor(row.field, m_channel + 1);
        if (row.extra.fixedText || !block.has(reg, f.registers())) continue;
        const QString name = controlName(m_layout, row, m_channel);
        if (f.control == param::Control::List) {
            const auto index = itemIndex(row, m_channel, block);
            if (!index) continue;
            m_fields->fill(f, name, reg, block);
            if (f.list == items::List::PulseOutputModes) setPulseOutputMode(*index);
        } else if (f.control == param::Control::Cells) {
            const QList<Cell> shown = cells(row, m_channel, *block.byte(reg), twoChannelMode);
            for (int bit = 0; bit < shown.size(); ++bit) {
                m_cells[bit][0]->setVisible(shown[bit] == Cell::Bar);
                m_cells[bit][1]->setVisible(shown[bit] == Cell::Cross);
            }
        } else if (const auto text = fieldText(row, m_channel, block)) {
            edit(row)->setText(*text);
        }
    }
}

void GeneralParamBox::setPulseOutputMode(int mode) {
    if (!m_pulseWeightCaption) return;
    if (const auto caption = pulseWeightCaption(mode)) m_pulseWeightCaption->setText(*caption);
}

void GeneralParamBox::showValue(const char* fieldName, float value) {
    if (const Row* row = rowNamed(m_layout, fieldName))
        if (QLineEdit* e = edit(*row)) e->setText(param::formatValue(row->field, value));
}

void GeneralParamBox::flipCell(ConditionPicture* clicked) {
    for (const auto& cell : m_cells) {
        if (cell[0] != clicked && cell[1] != clicked) continue;
        for (ConditionPicture* picture : cell)
            picture->setVisible(picture != clicked);
    }
}

QLineEdit* GeneralParamBox::edit(const Row& row) const {
    return m_fields->edit(controlName(m_layout, row, m_channel));
}
