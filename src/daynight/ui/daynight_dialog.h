#pragma once
// The day and night dialog (dialog 182): one place's schedule from Daynight.txt (four times for
// the first day of each month) and the minimal night brightness. Picking a place loads it, "Save
// Settings" stores the fields under the typed name, "Upload" writes the fields as they stand
// into the board's registers 893-998 and "Download" reads them back into the fields. Board
// operations run on the dialog's own worker with a progress bar and Cancel; closing the dialog
// cancels a running one.

#include "comm/operation_runner.h"
#include "comm/serial_settings.h"
#include "daynight/location_file.h"

#include <QDialog>
#include <array>

class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kestrix {

class OperationProgress;
class SpinEdit;
struct DayNightDownload;
struct DayNightSchedule;

class CDayNight : public QDialog {
    Q_OBJECT
public:
    // Control numbers of the dialog. The time edits of a row follow its first one, January to
    // December; so do the month captions above each table.
    enum Control {
        TimeZoneLabel = 1125,
        StatusLine = 1134,
        UploadButton = 1239,
        DownloadButton = 1240,
        NameLabel = 1241,
        NameEdit = 1242,
        LatitudeLabel = 1243,
        LatitudeEdit = 1244,
        LongitudeLabel = 1245,
        LongitudeEdit = 1246,
        TimeZoneEdit = 1247,
        PlaceList = 1248,
        SunNote = 1251,
        DayNote = 1252,
        FirstRiseEdit = 1254,
        FirstSunMonth = 1266,
        FirstSetEdit = 1278,
        FirstDayMonth = 1290,
        FirstBeginEdit = 1302,
        FirstEndEdit = 1314,
        BrightnessUpDown = 1327,
        BrightnessEdit = 1328,
        SaveButton = 1329,
        ChooseLabel = 1334,
        FirstDayNote = 1335,
        BrightnessLabel = 1336,
        RiseCaption = 1337,
        SetCaption = 1338,
        BeginCaption = 1339,
        EndCaption = 1340,
    };
    static constexpr int DialogNumber = 182;

    explicit CDayNight(QWidget *parent = nullptr);
    ~CDayNight() override;

    QComboBox *placeList() const { return m_places; }
    QLineEdit *nameEdit() const { return m_name; }
    QLineEdit *latitudeEdit() const { return m_latitude; }
    QLineEdit *longitudeEdit() const { return m_longitude; }
    QLineEdit *timeZoneEdit() const { return m_timeZone; }
    // month 0 is January.
    QLineEdit *timeEdit(DayTime time, int month) const { return m_times[size_t(time)][size_t(month)]; }
    SpinEdit *brightness() const { return m_brightness; }
    QLabel *statusLine() const { return m_status; }
    OperationProgress *progress() const { return m_progress; }
    OperationRunner &runner() { return m_runner; }
    const SerialSettings &settings() const { return m_settings; }

    // The location record the fields hold.
    LocationRecord record() const;

    void OnPick(int index);
    void OnSave();
    void OnUpload();
    void OnDownload();

    // Cancels a running board operation before the dialog closes.
    void done(int result) override;

private:
    QLayout *createPlace();
    QWidget *createTimes(int monthCaptions, int noteNumber, const char *note, DayTime first, DayTime second);
    QLayout *createBrightness();
    QLayout *createButtons();
    void connectRunner();
    void loadList();
    void showRecord(const LocationRecord &record);
    void showTimes(const std::array<MonthTimes, DayTimeCount> &times);
    DayNightSchedule schedule() const;
    void downloaded(const DayNightDownload &download);
    void setButtonsEnabled(bool enabled);
    void showStatus(const QString &message);
    void fileBox(const QString &reason);

    SerialSettings m_settings;
    QComboBox *m_places = nullptr;
    QLabel *m_choose = nullptr;
    QLineEdit *m_name = nullptr;
    QLineEdit *m_latitude = nullptr;
    QLineEdit *m_longitude = nullptr;
    QLineEdit *m_timeZone = nullptr;
    std::array<std::array<QLineEdit *, MonthCount>, DayTimeCount> m_times{};
    SpinEdit *m_brightness = nullptr;
    std::array<QPushButton *, 3> m_operationButtons{};
    QLabel *m_status = nullptr;
    OperationProgress *m_progress = nullptr;
    OperationRunner m_runner;
};

} // namespace kestrix
