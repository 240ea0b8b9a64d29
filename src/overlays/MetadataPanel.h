#pragma once

#include "overlays/OverlayCard.h"

class AppState;
class QVBoxLayout;

// The facts about the shown file: a "Metadata" title above label and value rows, or "No
// metadata available". Reads the rows the model extracted when the image was loaded, so
// showing the panel never touches the disk.
class MetadataPanel : public OverlayCard {
    Q_OBJECT

public:
    static constexpr int kWidth = 280;
    static constexpr int kLabelWidth = 90;

    explicit MetadataPanel(AppState& state, QWidget* parent = nullptr);

    // The card is exactly kWidth wide; its height follows the wrapped rows.
    QSize sizeHint() const override;

protected:
    // A click on a value gives it focus: Tab must still reach the viewer, which cycles the
    // overlays with it, rather than move the focus on.
    bool focusNextPrevChild(bool next) override;
    void showEvent(QShowEvent* event) override;

private:
    void rebuild();
    void build();

    AppState& m_state;
    QVBoxLayout* m_column;
    QWidget* m_body = nullptr;
    bool m_stale = false;
};
