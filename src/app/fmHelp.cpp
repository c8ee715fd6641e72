#include "app/fmHelp.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTreeWidget>

namespace quillon::app {

namespace {

constexpr int kWidth = 703;
constexpr int kHeight = 591;
constexpr int kTreeWidth = 153;
constexpr int kSplitterWidth = 8;

}  // namespace

// A top-level window of its own even when given a parent, as a form is.
TfrmHelp::TfrmHelp(QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_splitter(new QSplitter(Qt::Horizontal, this)),
      m_tvTopics(new QTreeWidget(m_splitter)),
      m_mmoText(new QPlainTextEdit(m_splitter))
{
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(QStringLiteral("命令手册"));
    resize(kWidth, kHeight);

    m_splitter->setObjectName(QStringLiteral("splHelp"));
    m_splitter->setHandleWidth(kSplitterWidth);
    m_splitter->setChildrenCollapsible(false);
    m_tvTopics->setObjectName(QStringLiteral("tvTopics"));
    m_tvTopics->header()->hide();
    m_mmoText->setObjectName(QStringLiteral("mmoText"));
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({kTreeWidth, kWidth - kTreeWidth - kSplitterWidth});

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_splitter);
}

}  // namespace quillon::app
