// TZenToolBar: the strip of tool launchers across the top of the main window.
// Its controls stand left to right in the order they were added, each right
// after the visible one before it; hidden controls take no room. Its context
// menu opens the configuration window (TZenToolBarFrmConfig), where controls
// are hidden and renamed; the configuration is saved to ConfigFile when that
// window closes and read back by LoadConfig.
//
// Configuration file: one line per control with its caption, in control
// order, then one line per hidden control with its 0-based index.
#pragma once

#include <QString>
#include <QWidget>

#include <vector>

class QAbstractButton;

namespace quillon::desktop {

class TZenToolBarFrmConfig;

class TZenToolBar : public QWidget {
    Q_OBJECT
public:
    explicit TZenToolBar(QWidget* parent = nullptr);
    ~TZenToolBar() override;

    // Where the configuration is saved; empty: it is not saved.
    QString ConfigFile;

    // Takes `control` as the tool bar's next control.
    void addControl(QAbstractButton* control);
    const std::vector<QAbstractButton*>& controls() const { return m_controls; }

    // Hides or shows a control and lays the others out again.
    void setControlHidden(int index, bool hidden);
    void setControlCaption(int index, const QString& caption);

    // Writes the configuration to ConfigFile. False when it is not set or the
    // file cannot be written.
    bool SaveConfig() const;
    // Applies ConfigFile to the controls. A file that does not fit the
    // controls (other count, an index out of range) is left unapplied: the
    // tools changed since it was saved. False when nothing was applied.
    bool LoadConfig();

    // The configuration window (created with the tool bar).
    TZenToolBarFrmConfig* configWindow() const { return m_config; }
    // Shows the configuration window filled from the controls.
    void showConfigWindow();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void layoutControls();

    std::vector<QAbstractButton*> m_controls;
    TZenToolBarFrmConfig* m_config = nullptr;
};

// The height the main window gives its tool bar.
inline constexpr int kToolBarHeight = 33;

}  // namespace quillon::desktop
