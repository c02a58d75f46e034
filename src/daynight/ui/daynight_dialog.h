#pragma once
// The day and night dialog (dialog 182): one place's schedule from Daynight.txt (four times for
// the first day of each month) and the minimal night brightness. Picking a place loads it, "Save
// Settings" stores the fields under the typed name, "Upload" writes the fields as they stand
// into the board's registers 893-998 and "Download" reads them back into the fields. "Compare
// with Board" marks the fields whose values differ from the board's; with "Verify after upload"
// ticked an upload is read back. Upload is
// enabled once the fields hold a place (picked, saved or downloaded). Board jobs run on the
// session board's queue and show in the dialog's board panel; closing the dialog mid-job asks
// first.

#include "comm/board_job.h"
#include "daynight/location_file.h"

#include <QDialog>
#include <array>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kestrix {

class BoardPanel;
class ComparisonMarks;
class SpinEdit;
struct DayNightDownload;
struct DayNightSchedule;

class DayNightDialog : public QDialog {
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
        CompareButton = 5520,
    };
    static constexpr int DialogNumber = 182;

    explicit DayNightDialog(QWidget *parent = nullptr);

    QComboBox *placeList() const { return m_places; }
    QLineEdit *nameEdit() const { return m_name; }
    QLineEdit *latitudeEdit() const { return m_latitude; }
    QLineEdit *longitudeEdit() const { return m_longitude; }
    QLineEdit *timeZoneEdit() const { return m_timeZone; }
    // month 0 is January.
    QLineEdit *timeEdit(DayTime time, int month) const { return m_times[size_t(time)][size_t(month)]; }
    SpinEdit *brightness() const { return m_brightness; }
    QLabel *statusLine() const;
    BoardPanel *panel() const { return m_panel; }
    QPushButton *uploadButton() const { return m_upload; }
    QCheckBox *verifyBox() const { return m_verify; }
    const ComparisonMarks &marks() const { return *m_marks; }
    // The field that shows a compared item: "Brightness", "Name" or a time key ("January Rise").
    QList<QWidget *> controlsOfItem(const QString &item) const;

    // The location record the fields hold.
    LocationRecord record() const;

    void OnPick(int index);
    void OnSave();
    void OnUpload();
    void OnDownload();
    void OnCompare();

    // Closes (Escape, the close box) only once the panel allows it: while a job of the dialog
    // runs, the user is asked, and closing anyway cancels the job.
    void done(int result) override;

private:
    QLayout *createPlace();
    QWidget *createTimes(int monthCaptions, int noteNumber, const char *note, DayTime first, DayTime second);
    QLayout *createBrightness();
    QLayout *createButtons();
    void loadList();
    void showRecord(const LocationRecord &record);
    void showTimes(const std::array<MonthTimes, DayTimeCount> &times);
    DayNightSchedule schedule() const;
    void downloaded(const JobResult<DayNightDownload> &download);
    void setPlaceLoaded();
    void enableUpload();
    void showStatus(const QString &message);

    QComboBox *m_places = nullptr;
    QLabel *m_choose = nullptr;
    QLineEdit *m_name = nullptr;
    QLineEdit *m_latitude = nullptr;
    QLineEdit *m_longitude = nullptr;
    QLineEdit *m_timeZone = nullptr;
    std::array<std::array<QLineEdit *, MonthCount>, DayTimeCount> m_times{};
    SpinEdit *m_brightness = nullptr;
    QPushButton *m_upload = nullptr;
    QCheckBox *m_verify = nullptr;
    ComparisonMarks *m_marks = nullptr;
    bool m_placeLoaded = false;   // the fields hold a place: Upload may send them
    BoardPanel *m_panel = nullptr;
};

} // namespace kestrix
