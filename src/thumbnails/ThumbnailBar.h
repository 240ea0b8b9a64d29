#pragma once

#include "thumbnailcache/ThumbnailCache.h"

#include <QPixmap>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <map>
#include <utility>

class AppState;
class QTimer;
class QVariantAnimation;

// The strip of thumbnails along the bottom of the viewer, one cell per image of the folder.
// One widget paints every cell: cells are records that exist only for the positions on screen
// or next to it, so a folder of thousands of files costs what the visible part costs. It
// scrolls the current cell to the centre whenever the current image changes, and a click on a
// cell shows that image.
class ThumbnailBar : public QWidget {
    Q_OBJECT

public:
    explicit ThumbnailBar(AppState& state, ThumbnailCache& cache = ThumbnailCache::shared(),
                          QWidget* parent = nullptr);
    ~ThumbnailBar() override;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    // Left edge of the visible part, in points from the start of the row.
    qreal scrollOffset() const { return m_offset; }
    qreal maximumScrollOffset() const;
    bool isScrolling() const;
    // Where the cell of a position is drawn, in this widget's coordinates.
    QRectF cellRect(qint64 position) const;

    // Cells made since the strip was built, and those alive now.
    qint64 cellsCreated() const { return m_cellsCreated; }
    qsizetype liveCellCount() const { return qsizetype(m_cells.size()); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    struct Cell {
        QUrl url;
        QPixmap picture; // null while loading or when the file gives none
        ThumbnailCache::Ticket ticket = 0;
        bool asked = false;
    };

    void setOffset(qreal offset);
    // The offset that puts the current cell in the middle, as far as the row allows.
    qreal currentCellOffset() const;
    void scrollToCurrent();
    void filesChanged();
    void reloadFile(const QUrl& url);
    // Asks again for every picture asked for, keeping the old ones until the new arrive.
    void reloadAll();
    // Makes the cells on screen or near it and drops the others.
    void syncCells();
    void requestMissing();
    void dropCellsIf(const std::function<bool(qint64, const Cell&)>& drop);
    void requestPicture(qint64 position);
    void setPicture(qint64 position, const QUrl& url, const std::optional<QImage>& image);
    qint64 positionAt(QPointF point) const;
    // First and last positions on screen, widened by extra cells on each side.
    std::pair<qint64, qint64> positionsShown(qint64 extra) const;

    AppState& m_state;
    ThumbnailCache& m_cache;
    std::map<qint64, Cell> m_cells;
    QVariantAnimation* m_scroll;
    QTimer* m_settle;
    qreal m_offset = 0;
    qint64 m_pressed = -1;
    qint64 m_cellsCreated = 0;
    bool m_appearing = false;
};
