#include "app/ScriptBoxes.h"

#include "base/OwnerThreadCall.h"
#include "script/Scripert.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QMessageBox>
#include <QPointer>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace quillon::app {

namespace {

// How often a waiting run looks at its stop request.
constexpr auto kStopLook = std::chrono::milliseconds(10);

struct BoxState {
    std::mutex mutex;
    std::condition_variable closed;
    bool done = false;
    int result = 1;
    QPointer<QMessageBox> box;  // GUI thread only
};

QMessageBox::StandardButtons buttonsOf(int buttons)
{
    switch (buttons & 7) {
    case 1: return QMessageBox::Ok | QMessageBox::Cancel;
    case 2: return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    case 3: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case 4: return QMessageBox::Yes | QMessageBox::No;
    case 5: return QMessageBox::Retry | QMessageBox::Cancel;
    default: return QMessageBox::Ok;
    }
}

QMessageBox::Icon iconOf(int buttons)
{
    switch (buttons & 0x70) {
    case 16: return QMessageBox::Critical;
    case 32: return QMessageBox::Question;
    case 48: return QMessageBox::Warning;
    case 64: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

int vbResultOf(QMessageBox::StandardButton button)
{
    switch (button) {
    case QMessageBox::Cancel: return 2;
    case QMessageBox::Abort: return 3;
    case QMessageBox::Retry: return 4;
    case QMessageBox::Ignore: return 5;
    case QMessageBox::Yes: return 6;
    case QMessageBox::No: return 7;
    default: return 1;
    }
}

void finish(const std::shared_ptr<BoxState>& state, int result)
{
    {
        std::lock_guard lock(state->mutex);
        if (state->done)
            return;
        state->done = true;
        state->result = result;
    }
    state->closed.notify_all();
}

}  // namespace

ScriptBoxes::ScriptBoxes(QObject* gui)
    : QObject(gui), m_gui(gui)
{
}

ScriptBoxes::~ScriptBoxes() = default;

int ScriptBoxes::show(const QString& prompt, int buttons, const QString& title, const script::TScripert* engine)
{
    if (QThread::currentThread() == m_gui->thread())
        return 1;
    auto state = std::make_shared<BoxState>();
    QPointer<ScriptBoxes> self(this);
    const bool shown = base::callOnOwnerThread(m_gui, [&, state] {
        if (!self)
            return;
        // Texts of the box's own, not shared with the run's strings: the box
        // outlives this call and frees them on this thread.
        const QString caption = title.isEmpty() ? QString::fromLatin1(kScriptBoxCaption)
                                                : QString(title.constData(), title.size());
        auto* box = new QMessageBox(iconOf(buttons), caption, QString(prompt.constData(), prompt.size()),
                                    buttonsOf(buttons));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setObjectName(QStringLiteral("ScriptBox"));
        state->box = box;
        ++m_open;
        QObject::connect(box, &QMessageBox::finished, this, [this, box, state](int) {
            --m_open;
            QAbstractButton* clicked = box->clickedButton();
            finish(state, clicked ? vbResultOf(box->standardButton(clicked)) : 1);
        });
        box->show();
        emit opened();
    });
    if (!shown)
        return 1;
    std::unique_lock lock(state->mutex);
    while (!state->done) {
        if (engine && engine->StopRequested()) {
            lock.unlock();
            // Closed from the GUI thread, which owns the box; the run does not
            // wait for that.
            QMetaObject::invokeMethod(
                m_gui,
                [state] {
                    if (state->box)
                        state->box->done(0);
                },
                Qt::QueuedConnection);
            finish(state, 1);
            return 1;
        }
        state->closed.wait_for(lock, kStopLook);
    }
    return state->result;
}

}  // namespace quillon::app
