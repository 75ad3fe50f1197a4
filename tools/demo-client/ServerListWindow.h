#pragma once

#include "ClientInfo.h"

#include <QWidget>

namespace updater::demo {

// The demo game client's only window: the servers it would connect to.
class ServerListWindow : public QWidget
{
    Q_OBJECT

public:
    ServerListWindow(const ClientInfo& info, const QString& sourcePath, const QString& error,
                     QWidget* parent = nullptr);
};

} // namespace updater::demo
