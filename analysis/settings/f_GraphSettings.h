#pragma once

#include "monitor/Settings.h"

#include <QDialog>
#include <QStringList>

#include <array>
#include <cstdint>

class ColorSwatch;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class UpDown;
class tvColorTab;

// "Ping Graph settings": edits the live graph's nine-level colour scale, its scale in percent and its background
// bands. The owner shows it modal and reads SettingsSaved afterwards.
class f_GraphSettings : public QDialog {
    Q_OBJECT
public:
    static constexpr int Levels = 9;
    static constexpr int MaxBands = 20;
    // The grid's own background, stored for bands that were added and never given a colour.
    static constexpr std::int64_t GridBackground = -2147483643; // 0x80000005, window background

    explicit f_GraphSettings(QWidget* parent = nullptr);
    ~f_GraphSettings() override;

    // True after OK, false after Cancel; closing by the title bar leaves it as it was.
    bool SettingsSaved = false;

    // The level lists as saved by the last OK, in the form the live graph reads them.
    QStringList levelValues() const { return m_levelValues; }
    QStringList levelColors() const { return m_levelColors; }

    void cmdColorClick(int level);
    void stepBands(); // after UpDown1 stepped txtNBack
    void cellDoubleClicked(int row, int column);

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void load();
    void validateLevel(int level);
    void setBandCount(int bands);
    void setBandColor(int row, std::int64_t value);
    void onPaletteSelected(qint64 color);
    void save();

    Settings m_settings;
    std::array<QLineEdit*, Levels> m_txtVal{};
    std::array<ColorSwatch*, Levels> m_shpColor{};
    QComboBox* m_cmbScale;
    QLineEdit* m_txtNBack;
    UpDown* m_upDown;
    QTableWidget* m_grid;
    tvColorTab* m_palette;
    int m_lastLevel = 0;
    QStringList m_levelValues;
    QStringList m_levelColors;
};
