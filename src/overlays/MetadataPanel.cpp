#include "overlays/MetadataPanel.h"

#include "state/AppState.h"

#include <QGridLayout>
#include <QLabel>
#include <QRegularExpression>
#include <QTextEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kSpacing = 6;
constexpr int kTitleGap = 4;
constexpr int kColumnGap = 8;
constexpr int kValueWidth = MetadataPanel::kWidth - MetadataPanel::kLabelWidth - kColumnGap;

QLabel* makeLabel(const QString& text, const QFont& font, const QColor& colour)
{
    auto* label = new QLabel(text);
    // Values come from the file: never read them as markup.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    return label;
}

// A value of the second column. One with a word too long for the column (a lens or serial
// string) is broken anywhere rather than cut at the card's edge or widening the column, which
// would stop the other values from wrapping; it stays selectable as the file wrote it.
QWidget* makeValue(const QString& text, const QFont& font, int width)
{
    const QFontMetrics metrics(font);
    const QStringList words = text.split(QRegularExpression(QStringLiteral("\\s+")));
    const bool fits = std::all_of(words.cbegin(), words.cend(), [&](const QString& word) {
        return metrics.horizontalAdvance(word) <= width;
    });
    if (fits) {
        QLabel* value = makeLabel(text, font, Qt::white);
        value->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        return value;
    }
    auto* value = new QTextEdit;
    value->setReadOnly(true);
    value->setFrameShape(QFrame::NoFrame);
    value->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    value->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    value->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    value->viewport()->setAutoFillBackground(false);
    value->setFont(font);
    value->document()->setDocumentMargin(0);
    value->setPlainText(text);
    QPalette palette = value->palette();
    palette.setColor(QPalette::Text, Qt::white);
    value->setPalette(palette);
    value->setFixedWidth(width);
    value->document()->setTextWidth(width);
    value->setFixedHeight(int(std::ceil(value->document()->size().height())));
    return value;
}

} // namespace

MetadataPanel::MetadataPanel(AppState& state, QWidget* parent)
    : OverlayCard(parent), m_state(state), m_column(new QVBoxLayout(this))
{
    m_column->setSpacing(kSpacing);
    m_column->setContentsMargins(0, 0, 0, 0);
    m_column->addWidget(makeTitle(tr("Metadata")));
    m_column->addSpacing(kTitleGap);
    setFixedWidth(kWidth + 2 * kPadding);
    connect(&m_state, &AppState::metadataChanged, this, &MetadataPanel::rebuild);
    // Laid out once it is first wanted: the window's start does not wait for it.
    m_stale = true;
}

void MetadataPanel::rebuild()
{
    // While the viewer keeps the panel hidden, the rows are laid out when it shows, not at
    // every step: a few dozen labels cost more than the step itself.
    if (testAttribute(Qt::WA_WState_ExplicitShowHide) && isHidden()) {
        m_stale = true;
        return;
    }
    build();
}

void MetadataPanel::showEvent(QShowEvent* event)
{
    // Sent before the viewer lays the panel out, and when it shows along with its parent.
    if (m_stale)
        build();
    OverlayCard::showEvent(event);
}

void MetadataPanel::build()
{
    m_stale = false;
    delete m_body;
    m_body = new QWidget;
    const MetadataRows& rows = m_state.metadata();
    if (rows.isEmpty()) {
        auto* layout = new QVBoxLayout(m_body);
        layout->setContentsMargins(0, 0, 0, 0);
        QColor dimmed(Qt::white);
        dimmed.setAlphaF(0.55);
        layout->addWidget(makeLabel(tr("No metadata available"), captionFont(), dimmed));
    } else {
        auto* grid = new QGridLayout(m_body);
        grid->setContentsMargins(0, 0, 0, 0);
        grid->setHorizontalSpacing(kColumnGap);
        grid->setVerticalSpacing(kSpacing);
        grid->setColumnStretch(1, 1);
        for (int row = 0; row < rows.size(); ++row) {
            QLabel* label = makeLabel(rows[row].label, captionFont(), Qt::gray);
            label->setFixedWidth(kLabelWidth);
            label->setAlignment(Qt::AlignRight | Qt::AlignTop);
            QWidget* value = makeValue(rows[row].value, captionFont(), kValueWidth);
            grid->addWidget(label, row, 0, Qt::AlignTop);
            grid->addWidget(value, row, 1, Qt::AlignTop);
        }
    }
    m_column->addWidget(m_body);
    // Built from the show event, the rows would otherwise be shown only on a later turn of the
    // event loop, and the card measured without them.
    m_body->show();
    resize(sizeHint());
}

QSize MetadataPanel::sizeHint() const
{
    return {width(), m_column->totalHeightForWidth(width())};
}

bool MetadataPanel::focusNextPrevChild(bool)
{
    return false;
}
