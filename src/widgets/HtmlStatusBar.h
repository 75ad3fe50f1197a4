#pragma once

#include <QWidget>

namespace updater {

// The status line (THTMLStatusBar): panel 0 shows markup text with a link, panels 1 and 2 the
// date and time, refreshed every 100 ms.
class HtmlStatusBar : public QWidget
{
    Q_OBJECT
public:
    explicit HtmlStatusBar(QWidget* parent = nullptr);

    QString panelText(int panel) const;
    void setPanelText(int panel, const QString& text);

signals:
    void anchorClicked(const QString& address);

private:
    QString m_text[3];
};

} // namespace updater
