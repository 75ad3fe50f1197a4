#include "ServerListWindow.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace updater::demo {

ServerListWindow::ServerListWindow(const ClientInfo& info, const QString& sourcePath, const QString& error,
                                   QWidget* parent)
    : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Demo Game Client"));
    setObjectName(QStringLiteral("DemoGameClient"));

    auto* heading = new QLabel(this);
    heading->setTextFormat(Qt::RichText);
    heading->setText(QStringLiteral("<h2 style='margin:0'>Demo Game Client</h2>"
                                    "<p>This stands in for the real game. It read <b>%1</b>:</p>")
                         .arg(sourcePath.toHtmlEscaped()));

    auto* servers = new QTreeWidget(this);
    servers->setRootIsDecorated(false);
    servers->setHeaderLabels({QStringLiteral("Server"), QStringLiteral("Description"),
                              QStringLiteral("Address"), QStringLiteral("Port"), QStringLiteral("Version"),
                              QStringLiteral("Admins")});
    for (const ServerConnection& connection : info.connections) {
        servers->addTopLevelItem(
            new QTreeWidgetItem({connection.display, connection.desc, connection.address, connection.port,
                                 connection.version, connection.admins.join(QLatin1Char(' '))}));
    }
    servers->header()->setSectionResizeMode(QHeaderView::ResizeToContents);

    auto* footer = new QLabel(this);
    footer->setWordWrap(true);
    footer->setText(error.isEmpty()
                        ? QStringLiteral("Service type: %1, server type: %2. Registration: %3")
                              .arg(info.serviceType, info.serverType, info.registrationWeb)
                        : QStringLiteral("<span style='color:#b00020'>%1</span>").arg(error.toHtmlEscaped()));

    auto* quit = new QPushButton(QStringLiteral("Quit"), this);
    connect(quit, &QPushButton::clicked, qApp, &QApplication::quit);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(quit);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(servers, 1);
    layout->addWidget(footer);
    layout->addLayout(buttons);
    resize(620, 280);
}

} // namespace updater::demo
