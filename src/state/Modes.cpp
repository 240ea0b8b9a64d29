#include "state/Modes.h"

QString rawValue(DisplayMode mode)
{
    switch (mode) {
    case DisplayMode::fitToWindow:
        return QStringLiteral("fitToWindow");
    case DisplayMode::actualSize:
        return QStringLiteral("actualSize");
    case DisplayMode::autoSizeWindow:
        return QStringLiteral("autoSizeWindow");
    }
    return {};
}

QString rawValue(OverlayMode mode)
{
    switch (mode) {
    case OverlayMode::none:
        return QStringLiteral("none");
    case OverlayMode::metadata:
        return QStringLiteral("metadata");
    case OverlayMode::histogram:
        return QStringLiteral("histogram");
    }
    return {};
}

std::optional<DisplayMode> displayModeFromRaw(const QString& text)
{
    for (auto mode :
         {DisplayMode::fitToWindow, DisplayMode::actualSize, DisplayMode::autoSizeWindow}) {
        if (text == rawValue(mode))
            return mode;
    }
    return std::nullopt;
}

std::optional<OverlayMode> overlayModeFromRaw(const QString& text)
{
    for (auto mode : {OverlayMode::none, OverlayMode::metadata, OverlayMode::histogram}) {
        if (text == rawValue(mode))
            return mode;
    }
    return std::nullopt;
}
