// Sizes that depend on the fonts at hand: the form is drawn for fonts that a
// Linux desktop substitutes with wider ones, so the window reserves room for
// the widest figures it shows, measured with the fonts it really got.
#include "SetwiseDosegate.h"

#include "CalibrationFigures.h"
#include "ReadingTrend.h"

#include <QEvent>
#include <QHeaderView>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QVBoxLayout>

#include <cmath>

namespace {

// The widest realistic text of each table column (0 step mark, 1 time,
// 2 reading, 3 row number), '8' standing for any digit.
const char* const kCellSamples[] = { "64+", "8888.88.88.88:88:88", "88888.8888", "88888" };
// Lower, the chart elides its axis labels and cuts its legend short.
constexpr int kTrendMinimumHeight = 180;

// A mean with four decimals or a limit of six significant digits.
const char* const kFigureSample = "88888.8888";

// The sample's width with every '8' replaced by the font's widest digit,
// rounded up: text elides at a fraction of a pixel too little.
int SampleWidth(const QFontMetricsF& metrics, const QString& sample)
{
    QChar widest = QLatin1Char('0');
    for (char digit = '1'; digit <= '9'; ++digit) {
        if (metrics.horizontalAdvance(QLatin1Char(digit)) > metrics.horizontalAdvance(widest))
            widest = QLatin1Char(digit);
    }
    return int(std::ceil(metrics.horizontalAdvance(QString(sample).replace(QLatin1Char('8'), widest))))
        + 1;
}

int TextMargin(const QWidget* widget)
{
    return widget->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
}

// The width at which a line edit shows the sample without scrolling.
int LineEditWidthFor(const QLineEdit* edit, const QString& sample)
{
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.lineWidth = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
    const QMargins text = edit->textMargins();
    const int cursorAndMargins = 2 + 2 * 2 + text.left() + text.right();
    const QSize contents(SampleWidth(QFontMetricsF(edit->font()), sample) + cursorAndMargins,
                         edit->fontMetrics().height());
    return edit->style()->sizeFromContents(QStyle::CT_LineEdit, &option, contents, edit).width();
}

void ReserveWidth(QLineEdit* edit, const QString& sample)
{
    edit->setFixedWidth(LineEditWidthFor(edit, sample));
}

void ReserveWidth(QLabel* label, const QString& sample)
{
    label->setMinimumWidth(SampleWidth(QFontMetricsF(label->font()), sample));
}

} // namespace

// The trend takes the room below the readings page's widgets. A splitter
// lets the operator share the height between the two; the trend takes what
// is spare and gives way first. Made when the page is first shown, it draws
// from the session's points, so it shows the readings from before as well.
void SetwiseDosegate::AddTrend(QWidget* contents)
{
    QLayout* widgets = contents->layout();
    auto* layout = new QVBoxLayout;
    layout->setContentsMargins(widgets->contentsMargins());
    widgets->setContentsMargins(QMargins());
    auto* block = new QWidget;
    block->setLayout(widgets); // takes the page's widgets along
    contents->setLayout(layout);

    m_pTrend = new ReadingTrend;
    m_pTrend->setMinimumHeight(kTrendMinimumHeight);
    auto* splitter = new QSplitter(Qt::Vertical);
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(block);
    splitter->addWidget(m_pTrend);
    splitter->setStretchFactor(1, 1);
    layout->addWidget(splitter);
    m_pTrend->SetData(&m_pSession->Trend());
    connect(m_pSession, SIGNAL(ReadingAccepted(Reading)), m_pTrend, SLOT(Changed()));
}

// Opens as large as its pages need, within the screen's free area less a
// title bar; where that is too small, the pages scroll.
void SetwiseDosegate::FitToScreen()
{
    // Sizes fixed while the widgets were hidden have not reached the layouts.
    for (QLayout* layout : findChildren<QLayout*>())
        layout->invalidate();
    for (QWidget* widget : findChildren<QWidget*>())
        widget->updateGeometry();
    QSize room = screen()->availableGeometry().size();
    room.rheight() -= style()->pixelMetric(QStyle::PM_TitleBarHeight);
    resize(size().expandedTo(sizeHint()).boundedTo(room));
}

void SetwiseDosegate::FitToFonts()
{
    // The state line's drawn minimum is lower than its 19 pt text.
    ui.frame->setMinimumHeight(qMax(ui.frame->minimumHeight(), ui.frame->sizeHint().height()));
    FitReadingsTable();
    // Inputs: an averaging count or a true value; figures: percentages.
    for (QLineEdit* input : { ui.average_group, ui.fixed_value_set, ui.background_value, ui.reference_uncertainty })
        ReserveWidth(input, "8.8888");
    // A measured background is kept a digit finer than a reading.
    for (QLineEdit* background : { ui.background_value, ui.background_uncertainty })
        ReserveWidth(background, "8.88888");
    for (QLineEdit* percent :
         { ui.relative_error, ui.variable_conefficient, ui.relative_error_2, ui.expanded_uncertainty })
        ReserveWidth(percent, "-8888.88");
    ReserveWidth(ui.standard_deviation, "8888.8888");
    ReserveWidth(ui.coverage_factor, "k = 13.97");
    // The widest verdict in the language at hand.
    const QFontMetricsF verdictMetrics(ui.calibration_verdict->font());
    int verdictWidth = 0;
    for (CalibrationFigures::Verdict verdict :
         { CalibrationFigures::Pass, CalibrationFigures::Fail, CalibrationFigures::Inconclusive })
        verdictWidth = qMax(verdictWidth, SampleWidth(verdictMetrics, CalibrationFigures::VerdictText(verdict)));
    ui.calibration_verdict->setMinimumWidth(verdictWidth);
    ReserveWidth(ui.Serial_number, "  88888888");
    // Remarks wrap; an empty one still keeps its line, so the page does not
    // jump when the first one comes.
    ui.figures_remarks->setMinimumHeight(ui.figures_remarks->fontMetrics().height());
    for (QLabel* figure : { ui.average_group_3, ui.average_group_4, ui.average_group_5 })
        ReserveWidth(figure, kFigureSample);
    for (QLineEdit* edit : findChildren<QLineEdit*>()) {
        if (!qobject_cast<QAbstractSpinBox*>(edit->parentWidget()))
            edit->installEventFilter(this);
    }
}

// Each column as wide as its widest cell or its caption, and the table just
// wide enough for all four beside a vertical scroll bar. Right to left, the
// columns end at the right edge, so the row of captions that stands in for
// the hidden header starts where the scroll bar (or its room) ends.
void SetwiseDosegate::FitReadingsTable()
{
    QTableWidget* table = ui.tableWidget_for_potentiometer;
    QLabel* const captions[] = { ui.label_59, ui.label_58, ui.label_57, ui.label_56 };
    const QFontMetricsF metrics(table->font());
    const int gridLine = table->showGrid() ? 1 : 0;
    int width = 0;
    for (int column = 0; column < table->columnCount(); ++column) {
        const int cell = SampleWidth(metrics, kCellSamples[column]) + 2 * TextMargin(table) + gridLine;
        const int caption = captions[column]->sizeHint().width() + 2 * TextMargin(table);
        table->setColumnWidth(column, qMax(cell, caption));
        captions[column]->setFixedWidth(table->columnWidth(column));
        width += table->columnWidth(column);
    }
    const int scrollBar = table->verticalScrollBar()->sizeHint().width();
    table->setFixedWidth(width + 2 * table->frameWidth() + scrollBar);
    ui.horizontalLayout_6->setContentsMargins(table->frameWidth() + scrollBar, 0, 0, 0);
    QHeaderView* rows = table->verticalHeader();
    rows->setDefaultSectionSize(qMax(rows->defaultSectionSize(), int(std::ceil(metrics.height())) + gridLine + 2));
}

// A line edit that is not being edited shows its text from the start.
bool SetwiseDosegate::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut) {
        if (auto* edit = qobject_cast<QLineEdit*>(watched))
            edit->home(false);
    }
    return QWidget::eventFilter(watched, event);
}

void SetwiseDosegate::ShowFigure(QLineEdit* edit, const QString& text)
{
    edit->setText(text);
    if (!edit->hasFocus())
        edit->home(false);
}
