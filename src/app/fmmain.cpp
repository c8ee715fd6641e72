// The main window's controls and menus, its start-up handler, the 500 ms
// timer that arms the restored rows, and the show and close handlers.
#include "app/fmmain.h"
#include "app/fmmainRunEntry.h"

#include "app/RunLog.h"
#include "app/RunTrace.h"
#include "app/ScriptBoxes.h"
#include "app/ScriptWiring.h"
#include "app/ZenStringGrid.h"
#include "base/ProgramPaths.h"
#include "base/ZeMath.h"
#include "desktop/UserCounter.h"
#include "input/ZenDxInput.h"
#include "input/ZenHotKey.h"
#include "platform/Desktop.h"
#include "script/ScriptThrd.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHeaderView>
#include <QMenuBar>
#include <QScreen>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace quillon::app {

namespace {

constexpr int kWindowWidth = 712;
constexpr int kWindowHeight = 394;
constexpr int kColumnWidths[] = {119, 333, 129, 89};
constexpr int kRunStateBeatMs = 50;
constexpr const char* kDirectories[] = {"plugin/COM", "plugin/DLL", "script", "pkg", "tools", "cfg"};

}  // namespace

Tfrmmain::Tfrmmain(Options options, QWidget* parent)
    : QMainWindow(parent), m_options(std::move(options))
{
    setObjectName(QStringLiteral("frmmain"));
    m_programDir = m_options.programDir.isEmpty() ? base::programLayout().dataDirectory : m_options.programDir;
    if (!m_programDir.endsWith(QLatin1Char('/')))
        m_programDir += QLatin1Char('/');
    m_desktop = m_options.desktop ? m_options.desktop : platform::openDefaultDesktop();
    m_bridge = std::make_unique<DesktopBridge>(m_desktop);
    m_template = std::make_unique<script::TScripert>(this);
    if (m_options.hotKeys) {
        m_hotKeys = m_options.hotKeys;
    } else {
        m_ownHotKeys = std::make_unique<input::TZenHotKey>(m_desktop->hotKeys(), this);
        m_ownHotKeys->setObjectName(QStringLiteral("ZenHotKey1"));
        m_hotKeys = m_ownHotKeys.get();
    }
    m_runLog = new RunLog(this);
    m_trace = RunTrace::fromEnvironment();
    if (m_ownHotKeys) {
        // Another program grabbed the key first: the trigger still works
        // from the key state, but the key also reaches that program.
        m_ownHotKeys->OnGrabRefused = [log = m_runLog](const QString& name, int, const QString& reason) {
            log->add({{}, name, {}, -1, 0, 0,
                      QStringLiteral("the key %1 could not be grabbed (%2); it may also reach the other program")
                          .arg(name, reason)});
        };
    }
    m_boxes = new ScriptBoxes(this);
    buildControls();
    buildMenus();
    buildGridPopup();
}

Tfrmmain::~Tfrmmain()
{
    freeRuns();
}

void Tfrmmain::buildControls()
{
    setWindowTitle(QString::fromUtf8(kMainCaption));
    QFont font = this->font();
    font.setPixelSize(10);
    setFont(font);
    resize(kWindowWidth, kWindowHeight);

    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("ZenToolBar1"));
    // 33 high, growing to the launchers' 39.
    m_toolBar->setMinimumHeight(33);
    m_toolBar->setMovable(false);
    m_toolBar->setIconSize(QSize(16, 16));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    addToolBar(Qt::TopToolBarArea, m_toolBar);

    auto* central = new QSplitter(Qt::Vertical, this);
    m_grid = new TZenStringGrid(central);
    m_grid->setObjectName(QStringLiteral("ZenStringGrid1"));
    m_grid->setColumnCount(kTriggerColumns);
    m_grid->setRowCount(kTriggerRows);
    QFont gridFont = m_grid->font();
    gridFont.setPixelSize(16);
    m_grid->setFont(gridFont);
    m_grid->horizontalHeader()->setDefaultSectionSize(128);
    m_grid->verticalHeader()->setDefaultSectionSize(32);
    m_grid->setCheckCols(QStringLiteral("2"));
    m_grid->setCenterCols(QStringLiteral("0"));
    m_grid->setBtnCols(QStringLiteral("1,3"));
    m_grid->setComboCols(QStringLiteral("3"));
    m_grid->AutoIncDecRow = false;
    m_grid->setContextMenuPolicy(Qt::CustomContextMenu);
    m_grid->setCurrentCell(1, 0);
    m_runLogView = new RunLogView(*m_runLog, central);
    central->addWidget(m_grid);
    central->addWidget(m_runLogView);
    central->setStretchFactor(0, 1);
    central->setCollapsible(0, false);
    setCentralWidget(central);

    connect(m_grid, &TZenStringGrid::OnClick, this, &Tfrmmain::ZenStringGrid1Click);
    connect(m_grid, &TZenStringGrid::OnDblClick, this, &Tfrmmain::ZenStringGrid1DblClick);
    connect(m_grid, &TZenStringGrid::OnKeyDown, this, &Tfrmmain::ZenStringGrid1KeyDown);
    connect(m_grid, &TZenStringGrid::OnFixedCellMouseDown, this,
            [this](int col, int row, Qt::MouseButton) { ZenStringGrid1FixedCellMouseDown(col, row); });
    m_grid->OnCellBtnClick = [this](TZenStringGrid*, int col, int row, QString& value) {
        ZenStringGrid1CellBtnClick(col, row, value);
    };

    m_tmr1 = new QTimer(this);
    m_tmr1->setObjectName(QStringLiteral("tmr1"));
    m_tmr1->setInterval(500);
    m_tmr1->setSingleShot(true);
    connect(m_tmr1, &QTimer::timeout, this, &Tfrmmain::tmr1Timer);

    // Runs only while runs are busy: an idle window wakes for nothing.
    m_beat = new QTimer(this);
    m_beat->setInterval(kRunStateBeatMs);
    connect(m_beat, &QTimer::timeout, this, &Tfrmmain::updateRunState);
}

QAction* Tfrmmain::addItem(QMenu* menu, const QString& name, const QString& text)
{
    QAction* action = menu->addAction(text);
    action->setObjectName(name);
    return action;
}

void Tfrmmain::buildMenus()
{
    QMenu* settings = menuBar()->addMenu(QStringLiteral("设置"));
    settings->setObjectName(QStringLiteral("N1"));
    m_autoStart = addItem(settings, QStringLiteral("N2"), QStringLiteral("开机启动"));
    m_autoStart->setCheckable(true);
    // The menu has already inverted the mark when it reports the choice.
    connect(m_autoStart, &QAction::triggered, this, [this](bool checked) { setStartupShortcut(checked); });
    connect(addItem(settings, QStringLiteral("N3"), QStringLiteral("全局设置")), &QAction::triggered, this,
            &Tfrmmain::N3Click);
    QMenu* pack = settings->addMenu(QStringLiteral("奇匣包"));
    pack->menuAction()->setObjectName(QStringLiteral("N5"));
    addItem(pack, QStringLiteral("N6"), QStringLiteral("导入"));
    addItem(pack, QStringLiteral("N7"), QStringLiteral("导出"));
    QMenu* plugins = settings->addMenu(QStringLiteral("插件"));
    plugins->menuAction()->setObjectName(QStringLiteral("N8"));
    addItem(plugins, QStringLiteral("N9"), QStringLiteral("COM"));
    addItem(plugins, QStringLiteral("N10"), QStringLiteral("DLL"));
    settings->addSeparator()->setObjectName(QStringLiteral("N11"));
    connect(addItem(settings, QStringLiteral("N26"), QStringLiteral("退出")), &QAction::triggered, this,
            &Tfrmmain::N26Click);

    QMenu* tools = menuBar()->addMenu(QStringLiteral("工具"));
    tools->setObjectName(QStringLiteral("N12"));
    addItem(tools, QStringLiteral("N13"), QStringLiteral("扩展"))->setVisible(false);
    addItem(tools, QStringLiteral("N14"), QStringLiteral("按键映射器"));
    addItem(tools, QStringLiteral("N15"), QStringLiteral("脚本调试器"));
    addItem(tools, QStringLiteral("N16"), QStringLiteral("界面设计器"));

    QMenu* help = menuBar()->addMenu(QStringLiteral("帮助"));
    help->setObjectName(QStringLiteral("N17"));
    connect(addItem(help, QStringLiteral("N18"), QStringLiteral("在线支持")), &QAction::triggered, this,
            &Tfrmmain::N18Click);
    connect(addItem(help, QStringLiteral("N4"), QStringLiteral("关于")), &QAction::triggered, this,
            &Tfrmmain::N4Click);
    connect(addItem(help, QStringLiteral("N19"), QStringLiteral("手册")), &QAction::triggered, this,
            &Tfrmmain::N19Click);
}

void Tfrmmain::buildGridPopup()
{
    m_gridPopup = new QMenu(this);
    m_gridPopup->setObjectName(QStringLiteral("pm1"));
    connect(addItem(m_gridPopup, QStringLiteral("N20"), QStringLiteral("删除脚本")), &QAction::triggered, this,
            &Tfrmmain::N20Click);
    m_gridPopup->addSeparator()->setObjectName(QStringLiteral("N21"));
    connect(addItem(m_gridPopup, QStringLiteral("N22"), QStringLiteral("打开脚本")), &QAction::triggered, this,
            &Tfrmmain::N22Click);
    connect(addItem(m_gridPopup, QStringLiteral("N23"), QStringLiteral("打开文件夹")), &QAction::triggered, this,
            &Tfrmmain::N23Click);
    m_gridPopup->addSeparator()->setObjectName(QStringLiteral("N24"));
    addItem(m_gridPopup, QStringLiteral("N25"), QStringLiteral("按键映射器"));
    addItem(m_gridPopup, QStringLiteral("N27"), QStringLiteral("脚本调试器"));
    addItem(m_gridPopup, QStringLiteral("N28"), QStringLiteral("界面设计器"));
    connect(m_grid, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { m_gridPopup->popup(m_grid->viewport()->mapToGlobal(pos)); });

    m_trayPopup = new QMenu(this);
    m_trayPopup->setObjectName(QStringLiteral("pm2"));
    connect(addItem(m_trayPopup, QStringLiteral("N29"), QStringLiteral("关闭")), &QAction::triggered, this,
            &Tfrmmain::N29Click);
}

QAction* Tfrmmain::actionNamed(const QString& text) const
{
    for (QAction* action : findChildren<QAction*>()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

void Tfrmmain::FormCreate()
{
    if (m_created)
        return;
    m_created = true;
    setUpDesktopParts();
    setUpKeyboard();
    for (int col = 0; col < 4; ++col)
        m_grid->setColumnWidth(col, kColumnWidths[col]);
    QComboBox* combo = m_grid->Combo();
    combo->clear();
    combo->addItems({QString::fromUtf8(kSingleRunMode), QString::fromUtf8(kRepeatRunMode)});
    QFont comboFont = combo->font();
    comboFont.setPointSize(12);
    combo->setFont(comboFont);
    combo->setCurrentIndex(0);
    registerState();
    loadState();
    followStartupEntry();
    for (const char* dir : kDirectories)
        base::makeDirectories(programPath(QString::fromLatin1(dir)));
    m_grid->setHintCols(QStringLiteral("1"));
    m_grid->HintPreStr = QStringLiteral("双击打开");
    ScriptHandlers handlers;
    // Every run gets handlers of its own when it is made; this one hears the
    // template's parse of the script a new run is made from (GUI thread).
    handlers.onError = [this](int line, int column, int number, const QString& description) {
        m_runLog->add({{}, m_loadingKey, m_loadingPath, line, column, number, description});
    };
    setUpTemplateEngine(*m_template, m_bridge->bridge(), handlers);
    m_runs.clear();
    m_repeatCounts.clear();
    loadToolButtons();
    m_tmr1->start();
}

void Tfrmmain::tmr1Timer()
{
    m_tmr1->stop();
    startupReport();
    for (int row = 1; row < kTriggerRows; ++row) {
        if (m_grid->cellText(2, row) == QLatin1String("true") && rowComplete(row))
            armKey(m_grid->cellText(0, row));
    }
}

void Tfrmmain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void Tfrmmain::FormShow()
{
    trayOnShow();
    // Only the first show goes to the tray: bringing the window back from
    // the tray shows it again, and minimising it then would keep it away
    // for good.
    if (m_options.startHidden && !m_shownOnce)
        trayMinimize();
    m_shownOnce = true;
    m_grid->setCurrentCell(std::max(1, m_grid->currentRow()), 2);
}

void Tfrmmain::closeEvent(QCloseEvent* event)
{
    // Quitting closes every window: after the exit command, whose saved
    // table is the one before its stop-key press, nothing more is saved.
    if (m_exiting) {
        event->accept();
        return;
    }
    // Close query: the window goes to the tray and the table is saved; the
    // close goes ahead and runs the exit command.
    trayMinimize();
    saveState();
    event->accept();
    N26Click();
}

}  // namespace quillon::app
