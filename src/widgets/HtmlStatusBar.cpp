#include "widgets/HtmlStatusBar.h"

#include "widgets/DateTimeFormat.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QPainter>
#include <qdrawutil.h>

namespace updater {

namespace {

constexpr int TextMargin = 2;

bool opensInShell(const QString& address)
{
    return address.contains("://") || address.contains("mailto:");
}

} // namespace

HtmlStatusBar::HtmlStatusBar(QWidget* parent)
    : QWidget(parent), m_dateSeparator(dateSeparatorOf(QLocale::system())),
      m_timeSeparator(timeSeparatorOf(QLocale::system())),
      m_clock([] { return QDateTime::currentDateTime(); }),
      m_opener([](const QUrl& url) { QDesktopServices::openUrl(url); })
{
    m_panels = {{PanelStyle::Markup, 320, "Checking...", {}},
                {PanelStyle::Date, 90, {}, "mm/dd/yyyy"},
                {PanelStyle::Time, 90, {}, "hh:mm:ss"}};
    setMouseTracking(true);
    setAutoFillBackground(true);
    refreshDateTime();
    m_refreshTimer.setInterval(RefreshIntervalMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, &HtmlStatusBar::refreshDateTime);
    m_refreshTimer.start();
}

QString HtmlStatusBar::panelText(int panel) const
{
    return m_panels.at(panel).text;
}

void HtmlStatusBar::setPanelText(int panel, const QString& text)
{
    Panel& target = m_panels.at(panel);
    if (target.text == text)
        return;
    target.text = text;
    update(panelRect(panel));
}

void HtmlStatusBar::setSeparators(QChar dateSeparator, QChar timeSeparator)
{
    m_dateSeparator = dateSeparator;
    m_timeSeparator = timeSeparator;
    refreshDateTime();
}

void HtmlStatusBar::setClock(Clock clock)
{
    m_clock = std::move(clock);
    refreshDateTime();
}

void HtmlStatusBar::setUrlOpener(UrlOpener opener)
{
    m_opener = std::move(opener);
}

void HtmlStatusBar::refreshDateTime()
{
    const QDateTime now = m_clock();
    for (int i = 0; i < panelCount(); ++i) {
        const Panel& p = m_panels[i];
        if (p.style != PanelStyle::Markup)
            setPanelText(i, formatStatusDateTime(p.format, now, m_dateSeparator, m_timeSeparator));
    }
}

QRect HtmlStatusBar::panelRect(int index) const
{
    int left = 0;
    for (int i = 0; i < index; ++i)
        left += m_panels[i].width;
    return QRect(left, 0, m_panels.at(index).width, height());
}

QSize HtmlStatusBar::sizeHint() const
{
    int width = 0;
    for (const Panel& p : m_panels)
        width += p.width;
    return QSize(width, fontMetrics().height() + 6);
}

QFont HtmlStatusBar::runFont(const MarkupRun& run) const
{
    QFont f = font();
    f.setBold(run.bold);
    f.setUnderline(run.link);
    return f;
}

std::vector<HtmlStatusBar::PlacedRun> HtmlStatusBar::layoutMarkup(int panelIndex) const
{
    const QRect area = panelRect(panelIndex).adjusted(TextMargin, 0, -TextMargin, 0);
    std::vector<PlacedRun> placed;
    int x = area.left();
    for (const MarkupRun& run : parseStatusMarkup(m_panels[panelIndex].text)) {
        const int width = QFontMetrics(runFont(run)).horizontalAdvance(run.text);
        placed.push_back({run, QRect(x, area.top(), width, area.height()).intersected(area)});
        x += width;
    }
    return placed;
}

std::optional<QString> HtmlStatusBar::anchorAt(const QPoint& point) const
{
    for (int i = 0; i < panelCount(); ++i) {
        if (m_panels[i].style != PanelStyle::Markup || !panelRect(i).contains(point))
            continue;
        for (const PlacedRun& placed : layoutMarkup(i)) {
            if (placed.run.link && placed.rect.contains(point))
                return placed.run.address;
        }
    }
    return std::nullopt;
}

void HtmlStatusBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    for (int i = 0; i < panelCount(); ++i) {
        const QRect rect = panelRect(i);
        qDrawShadePanel(&painter, rect.adjusted(0, 0, -1, -1), palette(), true, 1);
        const Panel& p = m_panels[i];
        painter.save();
        painter.setClipRect(rect.adjusted(1, 1, -1, -1));
        if (p.style == PanelStyle::Markup) {
            // Markup is drawn from the panel's left edge, whatever the panel's alignment.
            for (const PlacedRun& placed : layoutMarkup(i)) {
                painter.setFont(runFont(placed.run));
                painter.setPen(placed.run.link ? m_urlColor : palette().color(QPalette::WindowText));
                painter.drawText(placed.rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                                 placed.run.text);
            }
        } else {
            painter.setFont(font());
            painter.setPen(palette().color(QPalette::WindowText));
            painter.drawText(rect, Qt::AlignCenter | Qt::TextSingleLine, p.text);
        }
        painter.restore();
    }
}

void HtmlStatusBar::hoverAnchor(const std::optional<QString>& anchor)
{
    if (anchor == m_hoveredAnchor)
        return;
    if (m_hoveredAnchor)
        emit anchorExit(*m_hoveredAnchor);
    m_hoveredAnchor = anchor;
    if (anchor) {
        setCursor(Qt::PointingHandCursor);
        emit anchorEnter(*anchor);
    } else {
        unsetCursor();
    }
}

void HtmlStatusBar::mouseMoveEvent(QMouseEvent* event)
{
    hoverAnchor(anchorAt(event->position().toPoint()));
    QWidget::mouseMoveEvent(event);
}

void HtmlStatusBar::leaveEvent(QEvent* event)
{
    hoverAnchor(std::nullopt);
    QWidget::leaveEvent(event);
}

void HtmlStatusBar::mousePressEvent(QMouseEvent* event)
{
    // Every button opens the link; the release stays free for the window's context menu.
    const std::optional<QString> anchor = anchorAt(event->position().toPoint());
    if (!anchor) {
        QWidget::mousePressEvent(event);
        return;
    }
    if (opensInShell(*anchor))
        m_opener(QUrl(*anchor));
    else
        emit anchorClicked(*anchor);
}

} // namespace updater
