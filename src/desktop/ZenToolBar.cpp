#include "ZenToolBar.h"

#include "ZenToolBarFrmConfig.h"

#include <QAbstractButton>
#include <QContextMenuEvent>
#include <QFile>
#include <QMenu>
#include <QSaveFile>
#include <QSet>
#include <QTextStream>

namespace quillon::desktop {

TZenToolBar::TZenToolBar(QWidget* parent)
    : QWidget(parent), m_config(new TZenToolBarFrmConfig(this))
{
    setObjectName(QStringLiteral("ZenToolBar"));
    setMinimumHeight(kToolBarHeight);
}

TZenToolBar::~TZenToolBar()
{
    delete m_config;
}

void TZenToolBar::addControl(QAbstractButton* control)
{
    control->setParent(this);
    control->installEventFilter(this);
    m_controls.push_back(control);
    // Shown explicitly, so that isHidden() means "hidden by the user" even
    // before the tool bar itself is shown.
    control->show();
    layoutControls();
    updateGeometry();
}

void TZenToolBar::setControlHidden(int index, bool hidden)
{
    if (index < 0 || index >= int(m_controls.size()))
        return;
    m_controls[std::size_t(index)]->setHidden(hidden);
    layoutControls();
    updateGeometry();
}

void TZenToolBar::setControlCaption(int index, const QString& caption)
{
    if (index >= 0 && index < int(m_controls.size()))
        m_controls[std::size_t(index)]->setText(caption);
}

void TZenToolBar::layoutControls()
{
    int left = 0;
    for (QAbstractButton* control : m_controls) {
        if (control->isHidden())
            continue;
        control->move(left, 0);
        left += control->width();
    }
}

QSize TZenToolBar::sizeHint() const
{
    int width = 0;
    int height = kToolBarHeight;
    for (const QAbstractButton* control : m_controls) {
        if (control->isHidden())
            continue;
        width += control->width();
        height = std::max(height, control->height());
    }
    return {width, height};
}

QSize TZenToolBar::minimumSizeHint() const
{
    return {0, sizeHint().height()};
}

bool TZenToolBar::eventFilter(QObject* watched, QEvent* event)
{
    // A control resized after it was added moves the ones after it.
    if (event->type() == QEvent::Resize)
        layoutControls();
    return QWidget::eventFilter(watched, event);
}

void TZenToolBar::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    menu.addAction(QStringLiteral("工具栏设置"), this, &TZenToolBar::showConfigWindow);
    menu.exec(event->globalPos());
}

void TZenToolBar::showConfigWindow()
{
    if (m_config->isVisible())
        m_config->fill();
    m_config->show();
    m_config->raise();
    m_config->activateWindow();
}

bool TZenToolBar::SaveConfig() const
{
    if (ConfigFile.isEmpty())
        return false;
    QString text;
    for (const QAbstractButton* control : m_controls) {
        // A caption is one line of the file.
        QString caption = control->text();
        caption.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
        text += caption + QLatin1Char('\n');
    }
    for (int i = 0; i < int(m_controls.size()); ++i) {
        if (m_controls[std::size_t(i)]->isHidden())
            text += QString::number(i) + QLatin1Char('\n');
    }
    QSaveFile file(ConfigFile);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(text.toUtf8());
    return file.commit();
}

bool TZenToolBar::LoadConfig()
{
    QFile file(ConfigFile);
    if (ConfigFile.isEmpty() || !file.open(QIODevice::ReadOnly) || file.size() > 1024 * 1024)
        return false;
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    const int count = int(m_controls.size());
    if (lines.size() < count)
        return false;
    QSet<int> hidden;
    for (int i = count; i < lines.size(); ++i) {
        bool ok = false;
        const int index = lines[i].trimmed().toInt(&ok);
        if (!ok || index < 0 || index >= count)
            return false;
        hidden.insert(index);
    }
    for (int i = 0; i < count; ++i) {
        m_controls[std::size_t(i)]->setText(lines[i].remove(QLatin1Char('\r')));
        m_controls[std::size_t(i)]->setHidden(hidden.contains(i));
    }
    layoutControls();
    updateGeometry();
    return true;
}

}  // namespace quillon::desktop
