#include "analysis/settings/f_GraphSettings.h"

#include "analysis/settings/ColorDialog.h"
#include "analysis/settings/ColorSwatch.h"
#include "analysis/settings/InputBox.h"
#include "analysis/settings/UpDown.h"
#include "analysis/settings/tvColorTab.h"
#include "platform/SystemColors.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int ScaleItems[] = {10, 25, 50, 80, 100, 150, 200, 300, 500};
constexpr int ColorRole = Qt::UserRole;

template <typename T> T* named(T* widget, const QString& name)
{
    widget->setObjectName(name);
    return widget;
}

// A level limit as the live graph uses it: a 16-bit whole number. Larger values are held at the 16-bit bounds
// instead of overflowing, since the graph could not use them either.
QString asLevelText(const QString& text)
{
    const std::optional<int> number = Settings::toInteger(text);
    if (!number)
        return QStringLiteral("0");
    return QString::number(std::clamp(*number, int(std::numeric_limits<std::int16_t>::min()),
                                      int(std::numeric_limits<std::int16_t>::max())));
}

// The leading decimal number of a text, as colour texts are read (0 when there is none).
std::int64_t leadingNumber(const QString& text)
{
    const QString trimmed = text.trimmed();
    qsizetype end = 0;
    if (end < trimmed.size() && (trimmed[end] == u'-' || trimmed[end] == u'+'))
        ++end;
    while (end < trimmed.size() && trimmed[end].isDigit())
        ++end;
    bool ok = false;
    const qlonglong value = trimmed.left(end).toLongLong(&ok);
    if (!ok)
        return 0;
    return std::clamp<qlonglong>(value, std::numeric_limits<std::int32_t>::min(),
                                 std::numeric_limits<std::int32_t>::max());
}

int twips(int value)
{
    return value / 15;
}

} // namespace

f_GraphSettings::f_GraphSettings(QWidget* parent)
    : QDialog(parent), m_cmbScale(named(new QComboBox(this), QStringLiteral("cmbScale"))),
      m_txtNBack(named(new QLineEdit(this), QStringLiteral("txtNBack"))),
      m_upDown(named(new UpDown(m_txtNBack, 1, MaxBands, 1, this), QStringLiteral("UpDown1"))),
      m_grid(named(new QTableWidget(this), QStringLiteral("GRD"))),
      m_palette(named(new tvColorTab(this), QStringLiteral("tvColorTab1")))
{
    setObjectName(QStringLiteral("f_GraphSettings"));
    setWindowTitle(QStringLiteral("Ping Graph settings"));

    auto* levels = new QGridLayout;
    levels->setHorizontalSpacing(8);
    levels->addWidget(named(new QLabel(QStringLiteral("Point"), this), QStringLiteral("Label1")), 0, 0);
    levels->addWidget(named(new QLabel(QStringLiteral("Value"), this), QStringLiteral("Label2")), 0, 1);
    levels->addWidget(named(new QLabel(QStringLiteral("Color"), this), QStringLiteral("Label3")), 0, 2, 1, 2);
    for (int i = 0; i < Levels; ++i) {
        auto* number = named(new QLabel(QString::number(i + 1), this), QStringLiteral("Label4_%1").arg(i));
        number->setAlignment(Qt::AlignCenter);
        auto* value = named(new QLineEdit(this), QStringLiteral("txtVal_%1").arg(i));
        value->setFixedWidth(70);
        value->setAlignment(Qt::AlignRight);
        auto* swatch = named(new ColorSwatch(this), QStringLiteral("shpColor_%1").arg(i));
        swatch->setFixedSize(40, value->sizeHint().height());
        auto* button = named(new QToolButton(this), QStringLiteral("cmdColor_%1").arg(i));
        button->setText(QStringLiteral("..."));
        button->setToolTip(QStringLiteral("Choose the colour of level %1").arg(i + 1));
        levels->addWidget(number, i + 1, 0);
        levels->addWidget(value, i + 1, 1);
        levels->addWidget(swatch, i + 1, 2);
        levels->addWidget(button, i + 1, 3);
        m_txtVal[std::size_t(i)] = value;
        m_shpColor[std::size_t(i)] = swatch;
        connect(value, &QLineEdit::editingFinished, this, [this, i] { validateLevel(i); });
        connect(button, &QToolButton::clicked, this, [this, i] { cmdColorClick(i); });
    }
    levels->setRowStretch(Levels + 1, 1);

    for (int item : ScaleItems)
        m_cmbScale->addItem(QStringLiteral("%1%").arg(item), item);
    m_txtNBack->setText(QStringLiteral("2"));
    m_txtNBack->setValidator(new QIntValidator(1, MaxBands, m_txtNBack));
    m_txtNBack->setFixedWidth(50);
    m_txtNBack->setAlignment(Qt::AlignRight);
    connect(m_upDown, &UpDown::stepped, this, &f_GraphSettings::stepBands);
    // Typing a count must reshape the grid as well, or the stored band count would not match the stored bands.
    connect(m_txtNBack, &QLineEdit::textEdited, this, [this] {
        if (m_txtNBack->hasAcceptableInput())
            stepBands();
    });

    auto* scaleRow = new QGridLayout;
    scaleRow->addWidget(named(new QLabel(QStringLiteral("Ping graph scale:"), this), QStringLiteral("Label5")), 0, 0);
    scaleRow->addWidget(m_cmbScale, 0, 1, 1, 2);
    scaleRow->addWidget(named(new QLabel(QStringLiteral("Backgound level:"), this), QStringLiteral("Label6")), 1, 0);
    scaleRow->addWidget(m_txtNBack, 1, 1);
    scaleRow->addWidget(m_upDown, 1, 2, Qt::AlignLeft);
    scaleRow->setColumnStretch(3, 1);

    m_grid->setColumnCount(3);
    m_grid->setHorizontalHeaderLabels({QString(), QStringLiteral("Level,ms"), QStringLiteral("Color")});
    m_grid->verticalHeader()->hide();
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->setToolTip(QStringLiteral("Double-click a level or a colour to change it"));
    m_grid->setMinimumHeight(140);
    connect(m_grid, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int column) { cellDoubleClicked(row + 1, column); });

    auto* right = new QVBoxLayout;
    right->addLayout(scaleRow);
    right->addWidget(m_grid, 1);

    auto* ok = named(new QPushButton(QStringLiteral("OK"), this), QStringLiteral("Command1"));
    auto* cancel = named(new QPushButton(QStringLiteral("Cancel"), this), QStringLiteral("Command2"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &f_GraphSettings::save);
    connect(cancel, &QPushButton::clicked, this, [this] {
        SettingsSaved = false;
        reject();
    });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* body = new QHBoxLayout;
    body->addLayout(levels);
    body->addSpacing(16);
    body->addLayout(right, 1);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(body, 1);
    outer->addLayout(buttons);

    m_palette->hide();
    connect(m_palette, &tvColorTab::ColorSelected, this, &f_GraphSettings::onPaletteSelected);

    load();
}

f_GraphSettings::~f_GraphSettings()
{
    disconnect(m_palette, nullptr, this, nullptr);
}

void f_GraphSettings::load()
{
    const std::optional<int> scale = m_settings.integer(Keys::PingScale);
    const int percent = scale.value_or(100);
    int index = m_cmbScale->findData(percent);
    if (index < 0) {
        // A scale that none of the items offers stays selectable, so OK does not silently replace it.
        index = 0;
        while (index < m_cmbScale->count() && m_cmbScale->itemData(index).toInt() < percent)
            ++index;
        m_cmbScale->insertItem(index, QStringLiteral("%1%").arg(percent), percent);
    }
    m_cmbScale->setCurrentIndex(index);

    // The live graph needs exactly nine levels and colours: missing entries take the defaults, extra ones are
    // ignored as the graph ignores them.
    const QStringList defaultValues = QString::fromLatin1(Keys::PingValues.defaultValue).split(u';');
    const QStringList defaultColors = QString::fromLatin1(Keys::PingColors.defaultValue).split(u';');
    m_levelValues = m_settings.text(Keys::PingValues).split(u';');
    m_levelColors = m_settings.text(Keys::PingColors).split(u';');
    for (int i = 0; i < Levels; ++i) {
        const QString value = i < m_levelValues.size() ? m_levelValues[i] : defaultValues[i];
        const QString color = i < m_levelColors.size() ? m_levelColors[i] : defaultColors[i];
        m_txtVal[std::size_t(i)]->setText(asLevelText(value));
        m_shpColor[std::size_t(i)]->setValue(leadingNumber(color));
    }

    const int bands = std::clamp(m_settings.integer(Keys::PingBackLevel).value_or(2), 1, MaxBands);
    m_txtNBack->setText(QString::number(bands));
    const QStringList backValues = m_settings.text(Keys::PingBackValues).split(u';');
    const QStringList backColors = m_settings.text(Keys::PingBackColors).split(u';');

    m_grid->setUpdatesEnabled(false);
    m_grid->setColumnWidth(0, twips(300) + 8);
    m_grid->setColumnWidth(1, std::max(twips(800), m_grid->horizontalHeader()->sectionSizeHint(1)));
    m_grid->setColumnWidth(2, std::max(twips(800), m_grid->horizontalHeader()->sectionSizeHint(2)));
    setBandCount(bands);
    for (int row = 1; row <= bands; ++row) {
        if (row - 1 < backValues.size())
            m_grid->item(row - 1, 1)->setText(backValues[row - 1]);
        setBandColor(row, row - 1 < backColors.size() ? leadingNumber(backColors[row - 1]) : GridBackground);
    }
    m_grid->setCurrentCell(0, 1);
    m_grid->setUpdatesEnabled(true);
}

void f_GraphSettings::setBandCount(int bands)
{
    const int old = m_grid->rowCount();
    m_grid->setRowCount(bands);
    for (int row = old; row < bands; ++row) {
        auto* number = new QTableWidgetItem;
        number->setFlags(Qt::ItemIsEnabled);
        number->setTextAlignment(Qt::AlignCenter);
        m_grid->setItem(row, 0, number);
        auto* limit = new QTableWidgetItem;
        limit->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        limit->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_grid->setItem(row, 1, limit);
        auto* color = new QTableWidgetItem;
        color->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        color->setData(ColorRole, qint64(GridBackground));
        m_grid->setItem(row, 2, color);
    }
    for (int row = 0; row < bands; ++row)
        m_grid->item(row, 0)->setText(QString::number(row + 1));
}

void f_GraphSettings::setBandColor(int row, std::int64_t value)
{
    QTableWidgetItem* item = m_grid->item(row - 1, 2);
    item->setData(ColorRole, qint64(value));
    if (value == GridBackground)
        item->setData(Qt::BackgroundRole, QVariant());
    else
        item->setBackground(colorFromValue(value, m_grid->palette()));
}

void f_GraphSettings::validateLevel(int level)
{
    QLineEdit* field = m_txtVal[std::size_t(level)];
    // Numeric text at or above 0 is left as typed; only text the graph cannot use is replaced.
    bool ok = false;
    const double typed = field->text().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(typed) || typed < 0)
        field->setText(QStringLiteral("0"));
    else if (typed > std::numeric_limits<std::int16_t>::max())
        field->setText(QString::number(std::numeric_limits<std::int16_t>::max()));
}

void f_GraphSettings::cmdColorClick(int level)
{
    m_lastLevel = level;
    ColorSwatch* swatch = m_shpColor[std::size_t(level)];
    if (const std::optional<std::uint32_t> chosen = ColorDialog::choose(this, swatch->value()))
        swatch->setValue(*chosen);
}

void f_GraphSettings::stepBands()
{
    const int bands = std::clamp(Settings::toInteger(m_txtNBack->text()).value_or(1), 1, MaxBands);
    setBandCount(bands);
}

void f_GraphSettings::cellDoubleClicked(int row, int column)
{
    if (row < 1 || row > m_grid->rowCount())
        return;
    if (column > 0)
        m_grid->setCurrentCell(row - 1, column);
    if (column == 2) {
        const std::int64_t current = m_grid->item(row - 1, 2)->data(ColorRole).toLongLong();
        if (const std::optional<std::uint32_t> chosen = ColorDialog::choose(this, current))
            setBandColor(row, *chosen);
    } else if (column == 1) {
        QTableWidgetItem* item = m_grid->item(row - 1, 1);
        const QString answer = InputBox::ask(this, QStringLiteral("Input max level value in ms"),
                                             QStringLiteral("Input value"), item->text())
                                   .value_or(QString());
        bool ok = false;
        const double number = answer.trimmed().toDouble(&ok);
        item->setText(ok && std::isfinite(number) ? QString::number(number, 'g', 15) : QStringLiteral("0"));
    }
}

void f_GraphSettings::onPaletteSelected(qint64 color)
{
    m_shpColor[std::size_t(m_lastLevel)]->setValue(color);
    m_palette->hide();
}

void f_GraphSettings::mousePressEvent(QMouseEvent* event)
{
    m_palette->hide();
    QDialog::mousePressEvent(event);
}

void f_GraphSettings::save()
{
    m_settings.setText(Keys::PingScale, QString::number(m_cmbScale->currentData().toInt()));

    // A field still being edited when OK is pressed has not been left yet; it is checked the same way here.
    m_levelValues.clear();
    m_levelColors.clear();
    for (int i = 0; i < Levels; ++i) {
        validateLevel(i);
        m_levelValues.append(asLevelText(m_txtVal[std::size_t(i)]->text()));
        m_levelColors.append(QString::number(m_shpColor[std::size_t(i)]->value()));
    }
    m_settings.setText(Keys::PingValues, m_levelValues.join(u';'));
    m_settings.setText(Keys::PingColors, m_levelColors.join(u';'));

    // The stored count always matches the stored bands, so the graph never reads past the lists.
    const int bands = m_grid->rowCount();
    m_settings.setText(Keys::PingBackLevel, QString::number(bands));
    QStringList values;
    QStringList colors;
    for (int row = 0; row < bands; ++row) {
        values.append(m_grid->item(row, 1)->text());
        colors.append(QString::number(m_grid->item(row, 2)->data(ColorRole).toLongLong()));
    }
    m_settings.setText(Keys::PingBackValues, values.join(u';'));
    m_settings.setText(Keys::PingBackColors, colors.join(u';'));

    SettingsSaved = true;
    accept();
}
