#include "viewer/ToggleGroups.h"

#include "state/AppState.h"

#include <QAction>
#include <QMenu>

#include <cmath>

ToggleGroup::ToggleGroup(AppState& state, QObject* parent) : QObject(parent), m_state(state) {}

void ToggleGroup::addTo(QMenu* menu) const
{
    menu->addActions(m_actions);
}

QAction* ToggleGroup::addItem(const QString& text, std::function<void(bool)> setter)
{
    auto* action = new QAction(text, this);
    action->setCheckable(true);
    connect(action, &QAction::triggered, this, [this, setter = std::move(setter)](bool checked) {
        setter(checked);
        // A choice that changed nothing must not leave Qt's own flip of the mark behind.
        refresh();
    });
    m_actions.append(action);
    return action;
}

DisplayModeToggles::DisplayModeToggles(AppState& state, QObject* parent)
    : ToggleGroup(state, parent)
{
    const auto setter = [this](DisplayMode mode, ZoomAction zoom) {
        return [this, mode, zoom](bool on) {
            if (!on) {
                // Chosen while checked: the wheel or the zoom keys may have left the mode's
                // size, and this is the way back to it; at that size it changes nothing.
                if (mode != DisplayMode::autoSizeWindow && !viewShowsSizeOf(mode))
                    m_state.setZoomAction(zoom);
                return;
            }
            m_state.setDisplayMode(mode);
            m_state.setZoomAction(zoom);
        };
    };
    addItem(tr("Fit to Window"), setter(DisplayMode::fitToWindow, ZoomAction::fit));
    addItem(tr("Actual Size"), setter(DisplayMode::actualSize, ZoomAction::actualSize));
    addItem(tr("Auto-Size Window"), setter(DisplayMode::autoSizeWindow, ZoomAction::fit));
    connect(&state, &AppState::displayModeChanged, this, &DisplayModeToggles::refresh);
    refresh();
}

bool DisplayModeToggles::viewShowsSizeOf(DisplayMode mode) const
{
    constexpr double kTolerance = 1e-6;
    if (mode == DisplayMode::actualSize)
        return std::abs(m_state.magnification() - 1.0) < kTolerance;
    // Fitted never enlarges: the whole picture in view is the fitted size.
    const QRectF& visible = m_state.visibleRect();
    return visible.x() < kTolerance && visible.y() < kTolerance &&
           visible.width() > 1 - kTolerance && visible.height() > 1 - kTolerance;
}

void DisplayModeToggles::refresh()
{
    const DisplayMode modes[] = {DisplayMode::fitToWindow, DisplayMode::actualSize,
                                 DisplayMode::autoSizeWindow};
    for (int i = 0; i < 3; ++i)
        actions().at(i)->setChecked(m_state.displayMode() == modes[i]);
}

OverlayToggles::OverlayToggles(AppState& state, QObject* parent) : ToggleGroup(state, parent)
{
    const auto setter = [this](OverlayMode mode) {
        return [this, mode](bool on) { m_state.setOverlayMode(on ? mode : OverlayMode::none); };
    };
    addItem(tr("Metadata"), setter(OverlayMode::metadata));
    addItem(tr("Histogram"), setter(OverlayMode::histogram));
    addItem(tr("Thumbnails"), [this](bool on) { m_state.setShowThumbnailBar(on); });
    connect(&state, &AppState::overlayModeChanged, this, &OverlayToggles::refresh);
    connect(&state, &AppState::showThumbnailBarChanged, this, &OverlayToggles::refresh);
    refresh();
}

void OverlayToggles::refresh()
{
    actions().at(0)->setChecked(m_state.overlayMode() == OverlayMode::metadata);
    actions().at(1)->setChecked(m_state.overlayMode() == OverlayMode::histogram);
    actions().at(2)->setChecked(m_state.showThumbnailBar());
}
