#include "widgets/HtmlStatusBar.h"

namespace updater {

HtmlStatusBar::HtmlStatusBar(QWidget* parent) : QWidget(parent)
{
    m_text[0] = "Checking...";
}

QString HtmlStatusBar::panelText(int panel) const
{
    return m_text[panel];
}

void HtmlStatusBar::setPanelText(int panel, const QString& text)
{
    if (m_text[panel] == text)
        return;
    m_text[panel] = text;
    update();
}

} // namespace updater
