#pragma once

#include "monitor/Settings.h"

#include <QDialog>

#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class UpDown;

// "Options": start-up and logging options and the SMS alert rules. The owner shows it modal and connects
// settingsSaved to its InitSMS, so the alert rules take new values at once.
class frmOptions : public QDialog {
    Q_OBJECT
public:
    explicit frmOptions(QWidget* parent = nullptr);

    bool Changed() const { return m_changed; }
    void setChanged(bool changed);

    void apply(); // what cmdApply does

signals:
    void settingsSaved(); // after every save: the owner reloads its alert settings

private:
    struct CheckField {
        QCheckBox* box;
        const SettingKey* key;
        QString stored; // a value the box cannot show is written back as it was until the box is clicked
        bool clicked = false;
    };
    struct TextField {
        QWidget* field; // QLineEdit or QPlainTextEdit
        const SettingKey* key;
    };

    void load();

    Settings m_settings;
    QTabWidget* m_tabs;
    QPushButton* m_apply;
    QComboBox* m_onceTime;
    std::vector<CheckField> m_checks;
    std::vector<TextField> m_texts;
    QString m_storedOnceTime; // written back as it was unless the user picks an entry
    bool m_onceTimePicked = false;
    bool m_changed = false;
    bool m_loading = false;
};
