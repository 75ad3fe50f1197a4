#pragma once

#include "monitor/ServerControls.h"
#include "widgets/LevelGauge.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVariantList>
#include <QWidget>

namespace updater::test {

// The controls of the server display as the main window builds them, with their built sizes,
// for testing the monitors against real widgets.
class MonitorTestWindow
{
public:
    MonitorTestWindow()
    {
        root.resize(512, 537);
        download = new QGroupBox(&root);
        downloadStatus = new QGroupBox(&root);
        logo = new QLabel(&root);
        logo->hide();
        for (int s = 0; s < 2; ++s) {
            ServerControls& c = controls[s];
            c.infoPanel = s == 0 ? static_cast<QWidget*>(new QGroupBox(&root)) : new QFrame(&root);
            c.infoPanel->hide();
            for (int i = 0; i < 3; ++i) {
                c.statusCaptions[i] = new QLabel("Check...", c.infoPanel);
                c.statusPictures[i] = new QLabel(c.infoPanel);
            }
            c.pingBox = new QGroupBox(&root);
            c.pingBox->setGeometry(6 + 250 * s, 420, 247, 49);
            c.pingBox->hide();
            c.gauge = new LevelGauge(c.pingBox);
            c.gauge->setGeometry(12, 20, 182, 17);
            c.pingTime = new QLabel("?? ms", c.pingBox);
            c.pingTime->setGeometry(208, 21, 34, 13);
            c.warning = new QLabel("Server don't respond to Ping", c.pingBox);
            c.warning->setGeometry(29, 21, 187, 13);
            c.warning->hide();
            c.startButton = new QPushButton("START", &root);
            c.startButton->setGeometry(6 + 250 * s, 475, 120, 45);
            c.startButton->setEnabled(false);
        }
        controls[1].startButton->hide();
        root.show();
    }

    // The monitor's view of server `number` (1 or 2). Every picture set is recorded on the label
    // in the property "houses", in order.
    MonitorWindow window(int number)
    {
        MonitorWindow w;
        w.server = controls[number - 1];
        w.shared = {download, downloadStatus, logo};
        w.setPicture = [](QLabel* label, int index) {
            QVariantList houses = label->property("houses").toList();
            houses.append(index);
            label->setProperty("houses", houses);
        };
        return w;
    }

    static QVariantList houses(QLabel* label) { return label->property("houses").toList(); }
    static int lastHouse(QLabel* label)
    {
        const QVariantList all = houses(label);
        return all.isEmpty() ? 0 : all.last().toInt();
    }

    QWidget root;
    QGroupBox* download;
    QGroupBox* downloadStatus;
    QLabel* logo;
    ServerControls controls[2];
};

} // namespace updater::test
