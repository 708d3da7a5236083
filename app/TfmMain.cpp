#include "app/TfmMain.h"

#include "serial/CPort.h"
#include "serial/devicewatch.h"
#include "platform/clock.h"
#include "platform/journalfile.h"
#include "history/historystore.h"
#include "history/historywindow.h"
#include "history/historywriter.h"
#include "charts/engine/chart.h"
#include "serial/CPortCtl.h"
#include "platform/errorreport.h"
#include "platform/messages.h"
#include "platform/programfolder.h"
#include "platform/programicon.h"
#include "link/statistika.h"
#include "app/widgets.h"

#include <QApplication>
#include <QDBusConnection>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

TfmMain::TfmMain(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("fmMain"));
    setWindowTitle(QStringLiteral("Ostrel"));
    // The program's icon, for task bars that do not look it up by the
    // desktop entry: set for the whole application, so this window, its
    // dialogs and the boxes without a parent all carry it.
    QApplication::setWindowIcon(programIcon());
    resize(638, 568);
    setMinimumSize(638, 500);

    PageControl1 = make<QTabWidget>(this, "PageControl1");
    auto addPage = [this](QWidget *&page, const char *name, const QString &caption) {
        page = make<QWidget>(PageControl1, name);
        PageControl1->addTab(page, caption);
    };
    addPage(TabStatis, "TabStatis", QStringLiteral("Статистика"));
    addPage(TabSheet1, "TabSheet1", QStringLiteral("Графики"));
    addPage(TabSetup, "TabSetup", QStringLiteral("Настройки"));
    setCentralWidget(PageControl1);

    StatusBar1 = make<QStatusBar>(this, "StatusBar1");
    for (int i = 0; i < 2; ++i) {
        statusPanels_[i] = new QLabel(StatusBar1);
        statusPanels_[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        statusPanels_[i]->setMinimumWidth(150);
    }
    statusPanels_[0]->setFixedWidth(150);
    StatusBar1->addWidget(statusPanels_[0]);
    StatusBar1->addWidget(statusPanels_[1], 1);
    setStatusBar(StatusBar1);

    Timer1 = make<QTimer>(this, "Timer1");
    Timer1->setInterval(ClockTickMs);
    Timer2 = make<QTimer>(this, "Timer2");
    Timer2->setInterval(500);
    Timer3 = make<QTimer>(this, "Timer3");
    Timer3->setInterval(3000);
    TimerResetReceiver = make<QTimer>(this, "TimerResetReceiver");
    TimerResetReceiver->setInterval(1000);
    // While the adapter is away, whether it is back is looked at twice a
    // second: no busy loop, and a replugged charger is heard at once.
    reconnectTimer = make<QTimer>(this, "reconnectTimer");
    reconnectTimer->setInterval(500);
    screenPace_ = new ScreenPacer(ScreenPaceMs, [this] { showNews(); }, this);
    journalTimer = make<QTimer>(this, "journalTimer");
    // The link log and the charge's start are taken into the journal with
    // each delivery (lines and points go in as they come), and by this timer
    // when none has come for a while: a charger's sample a second wakes the
    // program once a second, not again for a look of the journal's own.
    journalTimer->setInterval(JournalLookMs);
    handEditTimer = make<QTimer>(this, "handEditTimer");
    handEditTimer->setSingleShot(true);
    handEditTimer->setInterval(1000);

    useDesktopBuses(QDBusConnection::sessionBus(), QDBusConnection::systemBus());
    buildPort();
    buildStatisticsPage();
    buildChartPage();
    buildSetupPage();
    buildMenus();
    FormCreate();
    // Handlers are connected once the stored values are in: the labels that
    // derive from the fields need the ADC step, which loading sets last.
    connectHandlers();
    TimerResetReceiver->start();
}

TfmMain::~TfmMain()
{
    // The port's thread hands events to this window; stop it while the
    // window is still whole.
    runGuarded([this] { ComPort1->Close(); });
    // A window closed without its close event (a test, a session's end)
    // still ends its charges in the history; the history window goes
    // before the database it reads.
    history_.endAll(ChargeEnd::Closed, Clock::now());
    delete historyWindow_;
}

void TfmMain::buildPort()
{
    ComPort1 = new TComPort(this);
    ComPort1->OnUnhandledError = [](const std::exception &e) { reportError(e); };
    ComPort1->setObjectName(QStringLiteral("ComPort1"));
    ComPort1->setPort(QStringLiteral("COM1"));
    ComPort1->setBaudRate(br38400);
    ComPort1->setDataBits(dbEight);
    ComPort1->setStopBits(sbOneStopBit);
    ComPort1->Parity().setBits(prNone);
    ComPort1->FlowControl().setFlowControl(fcNone);
    ComPort1->FlowControl().setControlDTR(dtrDisable);
    ComPort1->FlowControl().setControlRTS(rtsDisable);
    ComPort1->OnRxChar = [this](QObject *sender, int count) { ComPort1RxChar(sender, count); };
    ComPort1->OnAfterOpen = [this](QObject *) {
        openedDevice_ = identifyDevice(TCustomComPort::devicePath(ComPort1->Port()));
    };
    ComPort1->OnDeviceLost = [this](QObject *) { runGuarded([this] { deviceLost(); }); };
}

void TfmMain::buildStatisticsPage()
{
    Panel1 = make<QFrame>(TabStatis, "Panel1");
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Splitter1 = make<QSplitter>(Panel1, "Splitter1", Qt::Horizontal);
    Splitter1->setChildrenCollapsible(false);
    Memo1 = make<LogMemo>(Splitter1, "Memo1");
    Memo2 = make<LogMemo>(Splitter1, "Memo2");
    for (LogMemo *m : {Memo1, Memo2}) {
        m->setMinimumSize(171, 150); // the splitter's smallest pane
        m->setFlushTimer(false);     // the window's screen pace writes the lines
        Splitter1->addWidget(m);
    }
    auto *panelLayout = new QHBoxLayout(Panel1);
    panelLayout->setContentsMargins(1, 1, 1, 1);
    panelLayout->addWidget(Splitter1);

    btnStart = make<QPushButton>(TabStatis, "btnStart", QStringLiteral("Старт"));
    ComLed1 = make<TComLed>(TabStatis, "ComLed1");
    ComLed1->setKind(lkGreenLight);
    ComLed1->setLedSignal(lsConn);
    ComLed1->setComPort(ComPort1);
    // A picture only: a screen reader is told what it means and its state.
    ComLed1->setAccessibleName(QStringLiteral("Связь с зарядным устройством"));
    ComLed1->OnChange = [this](QObject *, TLedState) { describeLed(); };
    describeLed();

    GroupBoxLabel = make<QGroupBox>(TabStatis, "GroupBoxLabel", QStringLiteral("Инфо"));
    auto label = [this](const char *name, const QString &caption, const QString &hint = {}) {
        auto *l = make<TLabel>(GroupBoxLabel, name, caption);
        l->setToolTip(hint);
        return l;
    };
    lbRecv = label("lbRecv", QStringLiteral("Принято"), QStringLiteral("Кол-во принятых байт"));
    lbSend = label("lbSend", QStringLiteral("Послано"), QStringLiteral("Кол-во переданных байт"));
    Label25 = label("Label25", QStringLiteral("Время вкл."));
    LbCurrentTime = label("LbCurrentTime", QStringLiteral("Время"));
    LbTimeA = label("LbTimeA", QStringLiteral("-----------"), QStringLiteral("двойной клик - сброс"));
    auto *info = new QVBoxLayout(GroupBoxLabel);
    for (QLabel *l : {lbRecv, lbSend, Label25, LbCurrentTime, LbTimeA}) {
        info->addWidget(l);
        // Their texts change while data come; at a size of their own, a new
        // text repaints the label and does not lay the window out again.
        l->setFixedSize(110, l->sizeHint().height());
    }
    for (TLabel *l : {lbRecv, LbCurrentTime, LbTimeA})
        l->setKeepsBackground(true);

    SpeedButton1 = make<QToolButton>(TabStatis, "SpeedButton1");
    SpeedButton1->setText(QStringLiteral("..."));
    SpeedButton1->setToolTip(QStringLiteral("Настройка порта"));
    SpeedButton1->setAccessibleName(QStringLiteral("Настройка порта"));
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setFixedSize(23, 22);
    auto *ledRow = new QHBoxLayout;
    ledRow->addWidget(ComLed1);
    ledRow->addWidget(SpeedButton1);
    ledRow->addStretch();
    auto *side = new QVBoxLayout;
    side->addWidget(btnStart);
    side->addLayout(ledRow);
    side->addWidget(GroupBoxLabel);
    side->addStretch();
    auto *sideBox = new QWidget(TabStatis);
    sideBox->setLayout(side);
    sideBox->setFixedWidth(132);
    side->setContentsMargins(0, 0, 0, 0);

    auto *logs = new QVBoxLayout;
    logs->addWidget(buildCellLabels());
    logs->addWidget(Panel1, 1);
    auto *page = new QHBoxLayout(TabStatis);
    page->setContentsMargins(4, 4, 4, 4);
    page->addLayout(logs, 1);
    page->addWidget(sideBox, 0, Qt::AlignTop);
}

void TfmMain::connectHandlers()
{
    connectHandler(btnStart, &QPushButton::clicked, this, [this] { btnStartClick(); });
    connectHandler(SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
    connectHandler(lbRecv, &TLabel::doubleClicked, this, [this] { lbRecvDblClick(); });
    connectHandler(lbSend, &TLabel::doubleClicked, this, [this] { lbSendDblClick(); });
    connectHandler(TimerResetReceiver, &QTimer::timeout, this, [this] { TimerResetReceiverTimer(); });
    connectHandler(reconnectTimer, &QTimer::timeout, this, [this] { reconnectTimerTimer(); });
    connectHandler(journalTimer, &QTimer::timeout, this, [this] { journalTimerTimer(); });
    connectHandler(handEditTimer, &QTimer::timeout, this, [this] { journalHandEdits(); });
    for (LogMemo *m : {Memo1, Memo2}) {
        connect(m, &LogMemo::editedByHand, this, [this, m] {
            editedByHand_[m == Memo1 ? 0 : 1] = true;
            handEditTimer->start();
        });
        connect(m, &LogMemo::rewritten, this, [this, m] { summariesStale_[m == Memo1 ? 0 : 1] = true; });
    }
    connectHandler(Timer1, &QTimer::timeout, this, [this] {
        Timer1->setInterval(ClockTickMs); // after a pass that showed the clock
        clockTickedAlone_ = true;
        Timer1Timer();
    });
    connectParameterHandlers();
    connectExchangeHandlers();
    connectChartHandlers();
    connectMenuHandlers();
}

QString TfmMain::statusPanelText(int panel) const
{
    return statusPanels_[panel]->text();
}

void TfmMain::setStatusPanelText(int panel, const QString &text)
{
    statusPanels_[panel]->setText(text);
    // A narrow window cuts a long text (the noise advice, a file's name):
    // the whole of it is a hover away.
    statusPanels_[panel]->setToolTip(text);
}

LogMemo *TfmMain::memo(Channel ch) const
{
    return ch == Channel::A ? Memo1 : Memo2;
}

void translatePortTexts()
{
    Messages::bind(dataFolder());
    std::vector<QString> texts;
    for (int code = 1; code <= 23; ++code)
        texts.push_back(Messages::text("default", comErrorText(code)));
    setComErrorTexts(texts);
    setComErrorSuffix([] { return Messages::text("default", QStringLiteral(" (win error code: %d)")); });
}
