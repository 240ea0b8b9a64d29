#pragma once

#include <QHashFunctions>
#include <QString>
#include <optional>

// How the shown image is sized. The stored text of each case is its name.
enum class DisplayMode { fitToWindow, actualSize, autoSizeWindow };

// Which overlay is laid over the image. The stored text of each case is its name.
enum class OverlayMode { none, metadata, histogram };

// One-shot request from the model to the zoom surface.
enum class ZoomAction { fit, actualSize, zoomIn, zoomOut };

QString rawValue(DisplayMode mode);
QString rawValue(OverlayMode mode);

// Exact, case-sensitive match of a stored text; anything else gives nothing.
std::optional<DisplayMode> displayModeFromRaw(const QString& text);
std::optional<OverlayMode> overlayModeFromRaw(const QString& text);
