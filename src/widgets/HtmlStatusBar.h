#pragma once

#include "widgets/StatusMarkup.h"

#include <QColor>
#include <QDateTime>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

namespace updater {

// The status line: panel 0 shows markup text with a link, panels 1 and 2 the
// date and time, refreshed every 100 ms.
class HtmlStatusBar : public QWidget
{
    Q_OBJECT
public:
    enum class PanelStyle { Markup, Date, Time };

    struct Panel
    {
        PanelStyle style;
        int width;
        QString text;
        QString format; // date or time format of a Date or Time panel
    };

    using Clock = std::function<QDateTime()>;
    using UrlOpener = std::function<void(const QUrl&)>;

    static constexpr int RefreshIntervalMs = 100;

    explicit HtmlStatusBar(QWidget* parent = nullptr);

    int panelCount() const { return int(m_panels.size()); }
    const Panel& panel(int index) const { return m_panels.at(index); }
    QString panelText(int panel) const;
    void setPanelText(int panel, const QString& text); // redrawn only when the text changes

    QColor urlColor() const { return m_urlColor; }

    // The user's separators by default (regional settings); tests set their own.
    void setSeparators(QChar dateSeparator, QChar timeSeparator);
    void setClock(Clock clock);
    // Opens web and mail addresses; QDesktopServices by default.
    void setUrlOpener(UrlOpener opener);

    // What every tick of the refresh timer does: date and time panels take the current moment.
    void refreshDateTime();
    bool isRefreshing() const { return m_refreshTimer.isActive(); }

    // The link address under a point of the widget, if the point lies on a link.
    std::optional<QString> anchorAt(const QPoint& point) const;
    QRect panelRect(int index) const;

    QSize sizeHint() const override;

signals:
    void anchorClicked(const QString& address); // a link that is neither a web nor a mail address
    void anchorEnter(const QString& address);
    void anchorExit(const QString& address);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    struct PlacedRun
    {
        MarkupRun run;
        QRect rect;
    };

    std::vector<PlacedRun> layoutMarkup(int panelIndex) const;
    QFont runFont(const MarkupRun& run) const;
    void hoverAnchor(const std::optional<QString>& anchor);

    std::vector<Panel> m_panels;
    QColor m_urlColor = Qt::blue;
    QChar m_dateSeparator;
    QChar m_timeSeparator;
    Clock m_clock;
    UrlOpener m_opener;
    QTimer m_refreshTimer;
    std::optional<QString> m_hoveredAnchor;
};

} // namespace updater
