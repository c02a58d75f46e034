#pragma once
// Numbers of the texts the program shows, named once. The language tables give each number its
// text; the comment is the English one.

namespace kestrix {

// A text's number in the language tables. A type of its own, so that a text cannot be passed
// where a line, a control number or a count is meant, nor the other way round.
struct TextId {
    int number = 0;
    constexpr TextId() = default;
    constexpr explicit TextId(int value) : number(value) {}
    constexpr bool valid() const { return number != 0; }
    friend constexpr bool operator==(TextId, TextId) = default;
};

} // namespace kestrix

namespace kestrix::Text {

constexpr TextId CommunicationError{5034};     // "Communication Error!"
constexpr TextId CheckPortAndSpeed{5035};      // "Check COM port and Speed."
constexpr TextId CommunicationOk{5036};        // "Communication OK."
constexpr TextId TimeUploading{5037};          // "Uploading Time & Date ..."
constexpr TextId TimeUploaded{5038};           // "Time & Date Uploaded."
constexpr TextId ViewsUploading{5039};         // "Uploading View times ..."
constexpr TextId ViewsUploaded{5040};          // "View times uploaded."
constexpr TextId A0Uploading{5041};            // "Uploading parameter A0 ..."
constexpr TextId A0Uploaded{5042};             // "Parameter A0 uploaded."
constexpr TextId P9Uploading{5043};            // "Uploading parameter P9 ..."
constexpr TextId P9Uploaded{5044};             // "Parameter P9 uploaded."
constexpr TextId A1Uploading{5045};            // "Uploading parameter A1 ..."
constexpr TextId A1Uploaded{5046};             // "Parameter A1 uploaded."
constexpr TextId AllUploading{5047};           // "Uploading all parameters ..."
constexpr TextId AllUploaded{5048};            // "All parameters uploaded."
constexpr TextId Resetting{5049};              // "Reseting device ..."
constexpr TextId ResetDone{5050};              // "Device reseted."
constexpr TextId ParametersDownloading{5051};  // "Downloading parameters ..."
constexpr TextId ParametersDownloaded{5052};   // "Parameters downloaded."
constexpr TextId A2Uploading{5053};            // "Uploading parameter A2 ..."
constexpr TextId A2Uploaded{5054};             // "Parameter A2 uploaded."
constexpr TextId A3Uploading{5055};            // "Uploading parameter A3 ..."
constexpr TextId A3Uploaded{5056};             // "Parameter A3 uploaded."
constexpr TextId A4Uploading{5057};            // "Uploading parameter A4 ..."
constexpr TextId A4Uploaded{5058};             // "Parameter A4 uploaded."
constexpr TextId ByteMapUploading{5059};       // "Uploading parameters A5-C0 ..."
constexpr TextId ByteMapUploaded{5060};        // "Parameters A5-C0 uploaded."
constexpr TextId TestingCommunication{5061};   // "Testing communication with clock ..."
constexpr TextId CheckingCommunication{5062};  // "Checking communication ..."
constexpr TextId Alarm1Activation{5063};       // "Alarm 1 activation ..."
constexpr TextId Done{5064};                   // "Done"
constexpr TextId Alarm2Activation{5065};       // "Alarm 2 activation ..."
constexpr TextId PortOpenError{5066};          // "Error Opening Communication Port!"
constexpr TextId FileOpenError{5067};          // "File Opening Error!"
constexpr TextId Checking{5068};               // "Checking"
constexpr TextId ConnectedAt{5069};            // "Connected at"
constexpr TextId Status{5070};                 // "Status:"
constexpr TextId PleaseWait{5071};             // "Please Wait ..."
constexpr TextId SocketCreateFailed{5072};     // "Fail To Create Socket!"
constexpr TextId SendingFailed{5073};          // "Sending Failed!"
constexpr TextId ParameterColumn{5074};        // "Parameter"
constexpr TextId ValueColumn{5075};            // "Value"
constexpr TextId InformationDeleting{5076};    // "Deleting informations ..."
constexpr TextId InformationDeleted{5077};     // "All informations deleted."
constexpr TextId WrongPassword{5078};          // "Wrong Password! Can't clear parameters."
constexpr TextId HourColumn{5079};             // "Hour"
constexpr TextId MinuteColumn{5080};           // "Min"
constexpr TextId TypeColumn{5081};             // "Type"
constexpr TextId AlarmColumn{5082};            // "Alarm"
constexpr TextId TimesUploading{5083};         // "Uploading Times ..."
constexpr TextId TimesUploaded{5084};          // "Times Uploaded."
constexpr TextId TimesDownloading{5085};       // "Downloading Times ..."
constexpr TextId TimesDownloaded{5086};        // "Times Downloaded."
constexpr TextId AlarmsClearing{5087};         // "Clearing Alarm Times ..."
constexpr TextId AlarmsCleared{5088};          // "Alarm Times Cleared."
constexpr TextId SocketsInitFailed{5089};      // "Windows sockets initialization failed."
constexpr TextId InformationReading{5090};     // "Reading informations from clock ..."
constexpr TextId InformationRead{5091};        // "Informations readed from clock."
constexpr TextId NtpUnavailable{5092};         // "NTP Server Unvailable!"
constexpr TextId TestInfo{5093};               // "Test info"

// Texts of this program beyond the original's table.
constexpr TextId CloseButton{5200};            // "Close": button 1 of the main window
constexpr TextId OkButton{5201};               // "OK": button 1 of the other dialogs
constexpr TextId SpeedHint{5202};              // "Choose one of the listed speeds: %1."
constexpr TextId OperationCancelled{5204};     // "Operation cancelled."
constexpr TextId CancelButton{5205};           // "Cancel"
constexpr TextId SettingsNotStored{5210};      // "The port and speed hold until the program ends, but could not be stored:\n%1"
constexpr TextId BusyPorts{5220};              // "Busy ports:" followed by " COM3, COM7"
constexpr TextId AlsoOpenIn{5221};             // "Also open in:" followed by " minicom (pid 4242)"
constexpr TextId SimpleTimingUploading{5230};  // "Uploading Simple Timing ..."
constexpr TextId SimpleTimingUploaded{5231};   // "Simple Timing uploaded."
constexpr TextId SelfTimerUploading{5232};     // "Uploading Self Timer ..."
constexpr TextId SelfTimerUploaded{5233};      // "Self Timer uploaded."
constexpr TextId TimeZoneUploading{5234};      // "Uploading Time Zone ..."
constexpr TextId TimeZoneUploaded{5235};       // "Time Zone uploaded."
constexpr TextId AllUploadedExcept{5236};      // "Parameters uploaded, except: %1."
constexpr TextId DownloadUnanswered{5237};     // "Parameters downloaded; %1 registers did not answer."
constexpr TextId ResetNote{5238};              // "(some changes are valid only after reset)"
constexpr TextId ReplaceFileQuestion{5239};    // "%1 already exists.\nDo you want to replace it?"
constexpr TextId AlarmLinesNotLoaded{5240};    // "%1 lines of alarms.txt beyond the 50 alarms of a program were not loaded."
constexpr TextId TimesDownloadIncomplete{5241}; // "Download incomplete: %1 registers did not answer."
// The alarm dialog's Clear button: the main window's third message line carries its number 1136.
constexpr TextId ClearAlarmsButton{5250};      // "Clear Alarm Times"
// The day and night dialog's place list caption: its control number 1334 names the main
// window's reset note.
constexpr TextId ChooseLocation{5251};         // "Choose Location:"
// The time-server dialog's status line after a reply: %1 the time set ("17:00:00 29.01.14"),
// %2 the server's address.
constexpr TextId ServerTimeUploaded{5252};     // "Time %1 uploaded from %2."
constexpr TextId ServerTimeNotSet{5253};       // "The board did not answer; the time was not set."
constexpr TextId InformationUnanswered{5270};  // "Informations read; %1 variables did not answer."
constexpr TextId ClearingUnanswered{5271};     // "Clearing incomplete: %1 variables did not answer."
constexpr TextId InfoLinesNotLoaded{5272};     // "%1 lines of vars.txt beyond 50 variables were not used."
constexpr TextId NoAnswer{5273};               // "no answer"
constexpr TextId BoardLost{5280};              // "Failed: the board was lost after %1 frames; it may hold part of the data."
constexpr TextId CloseWhileBusy{5281};         // "An operation is running on the board. Cancel it and close?"
constexpr TextId CancelledPartly{5282};        // "Cancelled by closing the window after %1 frames: the board may hold part of the new data."
constexpr TextId ServerTimeQueued{5283};       // "Time server reply received; the time is uploaded after the running operation."
// Alarm uploads: values holding a line break are not sent; %1 how many.
constexpr TextId AlarmFieldsNotSent{5310};     // "Times uploaded, except %1 values holding a line break."
// Day and night: what the board or the place file cannot take, refused before anything is sent
// or written. %1 the name, %2 its characters without a Windows-1252 code; %1 the brightness;
// %1 the time's key ("January Rise"), %2 its text; %1 "path: reason".
constexpr TextId NameWithoutBoardCode{5320};   // "The place's name \"%1\" holds characters the board cannot show: %2"
constexpr TextId BrightnessOutOfRange{5321};   // "The minimal brightness must be a whole number from 0 to 100, not \"%1\"."
constexpr TextId TimeNotValid{5322};           // "%1 must be empty or a time hhmm from 0000 to 2359, not \"%2\"."
constexpr TextId PlacesUnreadable{5323};       // "The places cannot be read: %1"
// Time server: a TimeZone of config.ini that is no zone (%1 its text, %2 the zone used), and a
// server address that cannot be asked (%1 the address, %2 one of the three reasons; %1 of a
// reason the port or host it names).
constexpr TextId TimeZoneNotValid{5340};       // "config.ini [Settings] TimeZone \"%1\" is not a time zone from -12 to +12 hours; %2 is used."
constexpr TextId ServerAddressNotValid{5341};  // "The server address \"%1\" is not valid: %2"
constexpr TextId ServerAddressNoHost{5342};    // "it names no host"
constexpr TextId ServerAddressBadPort{5343};   // "the port \"%1\" is not a number from 1 to 65535"
constexpr TextId ServerAddressBadHost{5344};   // "\"%1\" is not a host name or an IP address"
// Clearing the clock information: a password line beyond the limit (%1 bytes) is refused.
constexpr TextId PasswordTooLong{5345};        // "The password is longer than %1 bytes; nothing was cleared."
// The port dialog's device field: its caption, the accepted forms (placeholder and tooltip),
// the hint for a device that cannot be used (%1 the problem), and the warning when neither the
// device nor the port and speed could be stored (%1 the reason).
constexpr TextId DeviceCaption{5400};          // "Device:"
constexpr TextId DeviceForms{5401};            // "/dev/ttyUSB0, rfc2217://host:port or tcp://host:port"
constexpr TextId DeviceHint{5402};             // "The device cannot be used: %1."
constexpr TextId DeviceNotStored{5403};        // "The port and speed hold until the program ends, but neither they nor the device could be stored:\n%1"
// The Boards dialog: its list's column captions, the sources of an upload of all parameters,
// the list's note when no port is mapped to a device, and a row whose job waits for its queue.
constexpr TextId BoardsColumnBoard{5502};      // "Board"
constexpr TextId BoardsColumnDevice{5503};     // "Device"
constexpr TextId BoardsColumnOutcome{5504};    // "Last outcome"
constexpr TextId BoardsWindowValues{5512};     // "Values of the main window"
constexpr TextId BoardsParameterFile{5513};    // "Parameter file ..."
constexpr TextId BoardsNone{5514};             // "No boards: map ports to devices in Select COM Port and Speed."
constexpr TextId BoardsWaiting{5515};          // "Waiting ..."
constexpr TextId BoardsSameDevice{5517};       // "Same device as %1: one board runs one job at a time."
// Compare with Board and Verify after upload: the comparison's endings, the tooltips of marked
// controls, and the endings of a read-back after an upload.
constexpr TextId CompareEqual{5522};          // "No value differs from the board."
constexpr TextId CompareDiffers{5523};        // "%1 values differ from the board (marked)."
constexpr TextId CompareUnanswered{5524};     // "%1 values differ, %2 did not answer (marked)."
constexpr TextId BoardHolds{5525};            // "Board: %1"
constexpr TextId BoardNoAnswer{5526};         // "The board did not answer for this value."
constexpr TextId Verified{5527};              // "Verified: the board holds the %1 registers sent."
constexpr TextId NotVerified{5528};           // "Not verified: %1 of %2 registers differ."
constexpr TextId AlarmsSaved{5529};           // "Alarm times saved to %1."

} // namespace kestrix::Text
