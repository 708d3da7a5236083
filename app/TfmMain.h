#pragma once

#include "link/exchange.h"
#include "link/linkview.h"
#include "link/statistika.h"
#include "charts/chargesummary.h"
#include "charts/chargewatch.h"
#include "history/historyrecorder.h"
#include "history/summaryfeed.h"
#include "charts/chartlines.h"
#include "charts/journal.h"
#include "charts/engine/series.h"
#include "serial/devicewatch.h"
#include "platform/screenpacer.h"

#include <QMainWindow>
#include <QStringList>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class LogMemo;
class QCheckBox;
class QFrame;
class QGroupBox;
class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QLineEdit;
class QPushButton;
class QSplitter;
class QStatusBar;
class QTabWidget;
class QToolButton;
class TChart;
class TFormColor;
class TComLed;
class TComPort;
class TLabel;
class TUpDown;
struct CurveSetup;
struct JournalContent;
class JournalFile;
class DesktopNotices;
class SleepInhibitor;
class QDBusConnection;
class QCompleter;
class QStringListModel;
class HistoryStore;
class HistoryWriter;
class HistoryWindow;

// What a failed "Старт" says: the port, and for a port the user may not
// open (errno EACCES or EPERM), how to be let in.
QString portOpenFailureText(const QString &port, int systemError);

// The serial port component in the user's language, where a catalog exists:
// its error texts once, its error suffix at every raise.
void translatePortTexts();

// The program's one main window. Its handlers are split by page and job
// (receive.cpp for the link, chartpage.cpp for the chart, ...); what they
// decide is plain code in the layers below.
class TfmMain : public QMainWindow, public LinkView
{
    Q_OBJECT

public:
    explicit TfmMain(QWidget *parent = nullptr);
    ~TfmMain() override;

    // Pages.
    QTabWidget *PageControl1 = nullptr;
    QWidget *TabStatis = nullptr;
    QWidget *TabSheet1 = nullptr;
    QWidget *TabSetup = nullptr;

    // "Статистика": the channel logs and the link.
    QFrame *Panel1 = nullptr;
    QSplitter *Splitter1 = nullptr;
    LogMemo *Memo1 = nullptr;
    LogMemo *Memo2 = nullptr;
    QPushButton *btnStart = nullptr;
    TComLed *ComLed1 = nullptr;
    QToolButton *SpeedButton1 = nullptr;
    QGroupBox *GroupBoxLabel = nullptr;
    TLabel *lbRecv = nullptr;
    TLabel *lbSend = nullptr;
    TLabel *Label25 = nullptr;
    TLabel *LbCurrentTime = nullptr;
    TLabel *LbTimeA = nullptr;
    QStatusBar *StatusBar1 = nullptr;

    // "Графики": the curves' data, their view buttons and colour labels.
    TChart *Chart1 = nullptr;
    ChartSeries Series1{QStringLiteral("Series1"), QStringLiteral("Канал A")};
    ChartSeries Series2{QStringLiteral("Series2"), QStringLiteral("Темп. А")};
    ChartSeries Series3{QStringLiteral("Series3"), QStringLiteral("Канал В")};
    ChartSeries Series4{QStringLiteral("Series4"), QStringLiteral("Темп. В")};
    TLabel *LabelColor_AU = nullptr;
    TLabel *LabelColor_AT = nullptr;
    TLabel *LabelColor_BU = nullptr;
    TLabel *LabelColor_BT = nullptr;
    QToolButton *BtnViewA = nullptr;
    QToolButton *BtnViewAT = nullptr;
    QToolButton *BtnViewB = nullptr;
    QToolButton *BtnViewBT = nullptr;
    QLabel *labelClickSeriesA = nullptr;
    QLabel *labelClickSeriesB = nullptr;
    QToolButton *BtnChartClear1 = nullptr;
    QToolButton *BtnUndoZoomA = nullptr;
    QToolButton *BtnzoomminusA = nullptr;
    QToolButton *BtnzoomplusA = nullptr;
    QToolButton *btnView2D = nullptr;
    QToolButton *BtnSaveGrafA = nullptr;

    // "Настройки": the charge parameters (edit fields with spin buttons),
    // the calibration, the sensors and the exchange with the charger.
    QGroupBox *GroupBox1 = nullptr;
    QGroupBox *GroupBox3 = nullptr;
    QGroupBox *GroupBox4 = nullptr;
    QGroupBox *GroupBoxTim = nullptr;
    QGroupBox *GroupBox2 = nullptr;
    TUpDown *UpDStepADC = nullptr;
    TUpDown *UpDResistr = nullptr;
    TUpDown *UpDRdecharge = nullptr;
    TUpDown *UpDCdFast = nullptr;
    TUpDown *UpD_tricle_Cd = nullptr;
    TUpDown *UpDMhFast = nullptr;
    TUpDown *UpD_tricle_Mh = nullptr;
    TUpDown *UpDTimeMh_hh = nullptr;
    TUpDown *UpDTimeMh_mm = nullptr;
    TUpDown *UpDTimeCd_hh = nullptr;
    TUpDown *UpDTimeCd_mm = nullptr;
    TUpDown *UpDownMaxT = nullptr;
    TUpDown *UpDownRostT = nullptr;
    QLineEdit *EditStepAdc = nullptr;
    QLineEdit *EdTokR = nullptr;
    QLineEdit *EdRdecharge = nullptr;
    QLineEdit *EdTokNiCd = nullptr;
    QLineEdit *Ed_tricle_Cd = nullptr;
    QLineEdit *EdTokNiMH = nullptr;
    QLineEdit *Ed_tricle_Mh = nullptr;
    QLineEdit *EdHourMh = nullptr;
    QLineEdit *EdMinMh = nullptr;
    QLineEdit *EdHourCd = nullptr;
    QLineEdit *EdMinCd = nullptr;
    QLineEdit *EditMaxT = nullptr;
    QLineEdit *EditPrirochenieT = nullptr;
    QLabel *Label33 = nullptr;
    QLabel *Label34 = nullptr;
    QLabel *Label7 = nullptr;
    QLabel *Label8 = nullptr;
    QLabel *LabRdecharge = nullptr;
    QLabel *Label17 = nullptr;
    QLabel *LabelTrickleMh = nullptr;
    QLabel *Label18 = nullptr;
    QLabel *LabelTrickleCd = nullptr;
    QLabel *Label23 = nullptr;
    QLabel *Label24 = nullptr;
    QLabel *LbTemperaturaA = nullptr;
    QLabel *LbTemperaturaB = nullptr;
    QCheckBox *CheckBoxCurrentT = nullptr;
    QCheckBox *CheckBoxConstruktorGraf = nullptr;
    QGroupBox *GroupBoxByte = nullptr;
    QPushButton *BtnSendSave = nullptr;
    QPushButton *BtnReadUartStr = nullptr;
    QPushButton *BtnReset = nullptr;
    QLabel *Label19 = nullptr;
    QLabel *Label20 = nullptr;
    QLabel *LabStatus = nullptr;

    // Menus.
    QMenuBar *MainMenu1 = nullptr;
    QAction *NOpenFile = nullptr;
    QAction *N7 = nullptr;
    QAction *N9 = nullptr;
    QAction *NExport = nullptr;
    QAction *NHistory = nullptr;   // "История зарядов..."
    QAction *N11 = nullptr;
    QAction *N13 = nullptr;
    QAction *NAU = nullptr;
    QAction *NAT = nullptr;
    QAction *NBU = nullptr;
    QAction *NBT = nullptr;
    QAction *NGradientVisible = nullptr;
    QAction *NFormColor = nullptr;
    QPointer<TFormColor> FormColor; // while "Цвета" is open
    QAction *NNotices = nullptr;    // desktop notices on or off
    QAction *N14 = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QMenu *PopupMenu2 = nullptr;
    QMenu *PopupMenu3 = nullptr;
    QAction *NSetTime = nullptr;
    QAction *NDeleteAll = nullptr;
    QAction *NSaveAll = nullptr;
    QAction *N4 = nullptr;

    // The link's receiving end and the parameter exchange: what the charger
    // sent and was sent, the counters, the link log and the charge clock.
    Receiver receiver{*this};
    ParameterExchange exchange;

    TComPort *ComPort1 = nullptr;
    QTimer *Timer1 = nullptr;
    QTimer *Timer2 = nullptr;
    QTimer *Timer3 = nullptr;
    QTimer *TimerResetReceiver = nullptr;
    QTimer *reconnectTimer = nullptr; // runs while a lost device is awaited
    QTimer *journalTimer = nullptr;   // the journal's look at the link log and the charge start
    QTimer *handEditTimer = nullptr;  // a pause in the user's typing into a log

    // The text of a status bar panel (0: data file name, 1: receive errors).
    QString statusPanelText(int panel) const;
    void setStatusPanelText(int panel, const QString &text);

    // Start-up: the stored settings, then the values derived from them.
    void FormCreate();
    // Shut-down: settings saved, then the question about unsaved logs.
    void FormCloseQuery(bool &CanClose);
    void LbTimeADblClick();
    void N11Click();
    void N13Click();
    void N14Click();
    void NSetTimeClick();

    // The settings file (app/settings.cpp). Where it is: beside the program,
    // or in the user's configuration folder when that folder is read-only.
    static QString settingsPath(bool forWriting);
    void LoadSettings();
    void SaveSettings();
    void applyGradient(bool on);

    // Data files and the clipboard (datafile.cpp, clipboard.cpp).
    void NSaveAllClick();
    void NOpenFileClick();
    void NDeleteAllClick();
    void dropFile(const QString &path);
    void copy_u_t(const QString &key, LogMemo *memo);
    void copy_time(LogMemo *memo);
    void CopyAll(LogMemo *memo);
    // The file the next open reads (what the open dialog returned or what
    // was dropped).
    QString OpenDialogFileName;

    // Link handlers (receive.cpp).
    void ComPort1RxChar(QObject *Sender, int Count);
    void TimerResetReceiverTimer();
    void lbRecvDblClick();
    void lbSendDblClick();
    void btnStartClick();
    void SpeedButton1Click();
    // Charge clock.
    void Timer1Timer();

    // Charge parameters and their derived labels (app/params.cpp).
    void EdTokRChange();
    void EditStepAdcChange();
    void EdRdechargeChange();
    void EditPrirochenieTChange();
    // The labels computed from the fields, as after loading the settings.
    void updateParameterLabels();

    // The chart page (chartpage.cpp).
    void ConstructChartGraf(const LogMemo *memo);
    // The same from the log's lines when they are at hand (a file just read).
    void buildCurves(bool channelA, const QStringList &lines);
    // The two halves of it: reading the lines (touching nothing) and
    // putting the curves on the chart.
    LogCurves curvesOf(bool channelA, const QStringList &lines) const;
    void showCurves(bool channelA, const LogCurves &curves);
    void Chart_Title();
    void BtnChartClear1Click();
    void BtnUndoZoomAClick();
    void BtnzoomminusAClick();
    void BtnzoomplusAClick();
    void BtnViewAClick();
    void btnView2DClick();
    void BtnSaveGrafAClick();
    // "Экспорт": the chart as a picture of the kind chosen, or the logs as CSV.
    void NExportClick();
    void Chart1ClickSeries(ChartSeries *series, int index);

    // Colours (colourmenu.cpp).
    void LabelColor_AUClick(QLabel *label);
    void NGradientVisibleClick();
    void NFormColorClick();

    // Exchange with the charger (commands.cpp).
    void BtnSendSaveClick();
    void BtnReadUartStrClick();
    void BtnResetClick();
    void CheckBoxCurrentTClick();
    void Timer2Timer();
    void Timer3Timer();
    void SendBlock();
    void WriteParameters();
    void RequestParameters();
    void RequestTemperatures();
    void ResetDevice();
    void StopTemperaturePolling();
    // The fields in the charger's units; throws when a time field holds no
    // integer.
    ParameterBlock parametersFromFields() const;
    void ApplyParameterBlock(const ParameterBlock &block);

    // LinkView (receive.cpp).
    void addLogLine(Channel ch, const QString &line) override;
    int logLineCount(Channel ch) const override;
    // Watches the charge (chargewatch.cpp).
    void logged(const LogEvent &e, const QStringList &lines) override;
    bool seriesViewOn(SeriesId s) const override;
    void addSeriesPoint(SeriesId s, double value, const QString &label) override;
    int adcStepSetting() const override;
    int senseResistor() const override;
    int dischargeResistor() const override;
    void showSensorReadings(double sensor1, double sensor2) override;
    bool sensorChartingOn() const override;
    void showReceivedTotal(int total) override;
    void showReceiveError(const QString &chargeTime) override;
    void showStepRegained(const QString &chargeTime) override;
    void showNoise(const QString &text) override;

    // The adapter was pulled (or the line hung up) while open: the logs stay,
    // and the same device is opened again when it is back.
    void deviceLost();
    void reconnectTimerTimer();

    // The crash-safe journal (journal.cpp): what a run that ended badly left
    // in the folder is offered back first, then this run's own is begun.
    void startJournal(const QString &folder);
    JournalFile *journalFile() const { return journal_.get(); }
    void journalTimerTimer();
    // On closing: deleted when nothing is left unsaved, else kept for the
    // next start to offer.
    void retireJournal(bool everythingSaved);

    // The charge history (history.cpp): every charge kept in the database
    // at `path`, each channel's cell label, the history window. Charges
    // left running by a program that is gone are marked cut short.
    void startHistory(const QString &path);
    HistoryRecorder &historyRecorder() { return history_; }
    // Everything handed to the history's writer is written.
    void flushHistory();
    HistoryWindow *showHistory();
    // A kept charge's voltage on the chart beside the live curves.
    void compareWithHistory(const HistoryEntry &e, const QStringList &lines);
    ChartSeries historyCurve{QStringLiteral("historyCurve"), QString()};

    // Watching the charge (chargewatch.cpp): desktop notices, the computer
    // kept awake, each channel's summary. The services are looked for on
    // the user's buses; tests hand in a private one.
    void useDesktopBuses(const QDBusConnection &session, const QDBusConnection &system);
    const SleepInhibitor *sleepInhibitor() const { return inhibitor_; }
    // The channel's last charge and, while it runs, the one before.
    QString channelSummary(Channel ch) const;
    void copySummary(Channel ch);
    void HandleBlockReply(const quint8 *bytes, int count) override;

    // A curve with the button that switches it and the label that holds
    // its colour (the label is the store; the line colour is its copy).
    struct Curve
    {
        ChartSeries *series;
        QToolButton *view;
        TLabel *colour;
    };
    const Curve &curve(SeriesId s) const { return curves_[size_t(s)]; }
    ChartSeries &series(SeriesId s) { return *curve(s).series; }
    // The line colours taken again from the colour labels.
    void seriesColoursFromLabels();
    LogMemo *memo(Channel ch) const;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void buildMenus();
    void buildViewMenu();
    void connectColourHandlers();
    void connectMenuHandlers();
    void openDataFile();
    // Before the logs are replaced: "Сохранить статистику?"; false on Cancel
    // or when the save asked for failed.
    bool offerToSaveLogs();
    // Whether the last save was begun (a file chosen) and did not end with
    // the file written: the close then keeps the window open.
    bool saveFailed_ = false;
    std::vector<std::pair<QString, TUpDown *>> storedParameters() const;
    std::vector<std::pair<QString, QLabel *>> storedColourLabels() const;
    static std::vector<std::pair<QString, qint32 *>> storedColours();
    bool openWithoutDialog_ = false;
    bool centred_ = false;
    DeviceIdentity openedDevice_;
    bool closing_ = false;
    void buildStatisticsPage();
    void buildChartPage();
    void buildSetupPage();
    void connectParameterHandlers();
    void connectExchangeHandlers();
    void connectChartHandlers();
    // The chart page's keys, seen before the focused control.
    bool eventFilter(QObject *watched, QEvent *event) override;
    // The colour labels near the top centre of the chart, whatever its width.
    void placeColourLabels();
    // Draws with the shown curves in the legend, then takes it away again.
    void withLegend(const std::function<void()> &draw);
    const QEvent *lastKey_ = nullptr;
    quint64 lastKeyStamp_ = 0;
    QPointer<QWidget> lastKeyTarget_;
    void setStatus(const QString &text, bool failure);
    void restoreJournal(const JournalContent &content);
    void reportJournalFailure(const QString &reason);
    void journal(const QByteArray &record);
    // Everything before is gone from the logs or is in a file: the journal
    // starts again, with this record first.
    void restartJournal(const QByteArray &first = {});
    // A log the user changed by hand goes into the journal whole, once the
    // typing has paused (handEditTimer) or before anything that depends on
    // it (a save, the journal's end).
    void journalHandEdits();
    void clearLog(LogMemo *memo);
    std::array<bool, 2> editedByHand_{};
    CurveSetup curveSetup() const;
    std::unique_ptr<JournalFile> journal_;
    bool journalFailureShown_ = false;
    JournalFollower journalFollower_;
    JournalFollower::ChargeStart chargeStart() const;
    void chargeEnded(Channel ch);
    // Stop, or the wait for a lost adapter given up: the charges stop counting.
    void chargeInterrupted(ChargeStop why);
    void linkLostNotice();
    void decodeErrorNotice(const QString &chargeTime);
    void notice(const QString &title, const QString &body, bool trouble);
    void noteMissingService(const QString &what, const QString &reason);
    // The link LED's state in words, for a screen reader.
    void describeLed();
    bool sleepHeld_ = false;
    double trickleFor(const ChargeSummary &s) const;
    DesktopNotices *notices_ = nullptr;
    SleepInhibitor *inhibitor_ = nullptr;
    ChargeWatch watch_;
    // The charge history.
    QLineEdit *cellLabelA = nullptr, *cellLabelB = nullptr;
    QStringListModel *cellLabels_ = nullptr; // completion: the labels given so far
    std::unique_ptr<HistoryStore> historyStore_;   // the window's reads
    std::unique_ptr<HistoryWriter> historyWriter_; // every write, on its thread
    HistoryRecorder history_;
    QPointer<HistoryWindow> historyWindow_;
    QWidget *buildCellLabels();
    void cellLabelEdited(Channel ch);
    void refreshCellLabels();
    void historyTrouble(const QString &text);
    // Each channel's charges summed up as the link logs them; read again
    // from the log's lines after the log was replaced, cleared or edited.
    // (A cache of what the logs hold: reading a summary may refresh it.)
    mutable std::array<SummaryFeed, 2> summaries_;
    mutable std::array<bool, 2> summariesStale_{true, true};
    const ChargeSummaries &summaries(Channel ch) const;
    QElapsedTimer lastDecodeNotice_;
    // What the link changes on the screen is shown at one pace, all in the
    // same pass: the logs' new lines, the received count and the chart.
    // Three passes a second keep a flooded line cheap (each repaints both
    // logs and their scroll bars, or the chart); news after a quiet spell
    // (a charger's sample a second) shows at once.
    static constexpr int ScreenPaceMs = 333;
    static constexpr int ClockTickMs = 1000; // Timer1
    // The journal's own look at the link log and the charge start, when no
    // delivery has brought one: longer than a charger's second by more than
    // a timer's slack (a twentieth), so that samples a second apart keep
    // putting it off.
    static constexpr int JournalLookMs = 1500;
    // The clocks last ticked on their own timer, not with news: the next
    // news moves their tick to come with it.
    bool clockTickedAlone_ = false;
    ScreenPacer *screenPace_ = nullptr; // runs while the link brings news
    void paceScreen() { screenPace_->news(); }
    void showNews();
    bool chartDirty_ = false;
    bool receivedDirty_ = false;
    int receivedShown_ = 0;
    // Restored from the journal while the charge ran: the next Start goes on
    // with its clock.
    bool resumeCharge_ = false;
    void showOutcome(const ExchangeOutcome &outcome);
    void buildPort();
    void connectHandlers();

    QLabel *statusPanels_[2] = {};
    std::array<Curve, 4> curves_{}; // in SeriesId order
};
