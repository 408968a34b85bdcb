#pragma once

#include <QSettings>
#include <QString>

#include <optional>

// One key of the per-user settings: where it lives and the defaults its readers use when it is missing.
struct SettingKey {
    const char* section;
    const char* key;
    const char* defaultValue;             // the main window's default; nullptr when it is computed (PingBackValues)
    const char* optionsDefault = nullptr; // what the options dialog shows for a missing key, when it differs
};

namespace Keys {
// Section "Load"
inline constexpr SettingKey PingValues{"Load", "PingValues", "200;400;600;800;1000;1200;1500;2000;3000"};
inline constexpr SettingKey PingColors{"Load", "PingColors",
                                       "65280;49152;32768;8421376;8388608;16711680;16744576;8388736;12583104"};
inline constexpr SettingKey PingBackLevel{"Load", "PingBackLevel", "2"};
inline constexpr SettingKey PingBackValues{"Load", "PingBackValues", nullptr};
inline constexpr SettingKey PingBackColors{"Load", "PingBackColors", "-2147483624;16777152"};
inline constexpr SettingKey PingScale{"Load", "PingScale", "100"};
inline constexpr SettingKey AutoPing{"Load", "AutoPing", "0"};
inline constexpr SettingKey AutoHide{"Load", "AutoHide", "0"};
inline constexpr SettingKey AutoLog{"Load", "AutoLog", "0", "1"};
inline constexpr SettingKey TimeOut{"Load", "TimeOut", "10"};
inline constexpr SettingKey LogOne{"Load", "LogOne", "1"};
// Section "SMS"
inline constexpr SettingKey StartTime{"SMS", "StartTime", ""};
inline constexpr SettingKey LastTime{"SMS", "LastTime", ""};
inline constexpr SettingKey SendSMS{"SMS", "SendSMS", "0"};
inline constexpr SettingKey IfGreater{"SMS", "IfGreater", "1"};
inline constexpr SettingKey Greater{"SMS", "Greater", "100"};
inline constexpr SettingKey IfLess{"SMS", "IfLess", "0"};
inline constexpr SettingKey Less{"SMS", "Less", "100"};
inline constexpr SettingKey IfTimeout{"SMS", "IfTimeout", "0"};
inline constexpr SettingKey OnceTime{"SMS", "OnceTime", "5"};
inline constexpr SettingKey Template{"SMS", "Template", "@HOST@:\r\nPing time - @PING@",
                                     "@HOST@:\r\nPing time = @PING@ ms at @TIME@."};
inline constexpr SettingKey TimeoutTemplate{"SMS", "TimeoutTemplate", "@HOST@:\r\nRequest timeout.",
                                            "@HOST@:\r\nRequest timeout at @TIME@."};
inline constexpr SettingKey MobileNumber{"SMS", "MobileNumber", ""};
inline constexpr SettingKey CountryCode{"SMS", "CountryCode", ""};
inline constexpr SettingKey Carrier{"SMS", "Carrier", ""};
inline constexpr SettingKey ICQUIN{"SMS", "ICQUIN", ""};
inline constexpr SettingKey ICQPass{"SMS", "ICQPass", ""};
inline constexpr SettingKey GatewayURL{"SMS", "GatewayURL", ""};
} // namespace Keys

// The per-user settings store of application "Tavrik". Every value is text; numbers are converted where they are
// read, and a stored text that is not a number is reported, never silently taken as 0. The file holds the gateway
// password, so it is kept readable by the user alone.
class Settings {
public:
    Settings();

    bool contains(const SettingKey& key) const;
    QString text(const SettingKey& key) const;           // missing: the main window's default
    QString textForOptions(const SettingKey& key) const; // missing: the options dialog's default
    // The stored value (or default) as a whole number; nothing, with a reason in *error, when it is not a number.
    std::optional<int> integer(const SettingKey& key, QString* error = nullptr) const;

    void setText(const SettingKey& key, const QString& value);
    void setInteger(const SettingKey& key, int value) { setText(key, QString::number(value)); }
    void remove(const SettingKey& key);

    // The band bounds used when "PingBackValues" is missing: half the top level, then the top level.
    static QString defaultBackValues(const QString& pingValues);
    // A whole number as the settings hold it ("12", " 12 ", "12.4"); nothing for any other text.
    static std::optional<int> toInteger(const QString& text);

    QString fileName() const { return m_store.fileName(); }

private:
    QString pathOf(const SettingKey& key) const;
    void restrictFile();

    QSettings m_store;
};
