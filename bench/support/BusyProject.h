#pragma once

// A model in the middle of a long project: 20,000 files in the output folder, 1,000
// remembered fronts, and 40 regions on the bed (fronts and automatic backs, in turn).

#include "core/AppModel.h"
#include "FortyRegions.h"
#include "PreparedEngine.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>

#include <memory>

struct BusyProject {
    QTemporaryDir root;
    std::unique_ptr<AppModel> model;

    BusyProject()
    {
        const QString out = root.filePath("out");
        QDir().mkpath(out);
        for (int i = 1; i <= 20000; ++i) {
            const QString name = i % 4 == 0 ? QString("scan_%1_b.jpg").arg(i, 4, 10, QChar('0'))
                                            : QString("scan_%1.jpg").arg(i, 4, 10, QChar('0'));
            QFile(QDir(out).filePath(name)).open(QIODevice::WriteOnly);
        }
        AppModelOptions options;
        options.preferences = std::make_shared<Preferences>(root.filePath("prefs.ini"));
        options.outputDir = out;
        model = std::make_unique<AppModel>(std::make_unique<PreparedEngine>(), options);

        std::vector<ScanRecord> history;
        for (int i = 0; i < 1000; ++i) {
            ScanRecord r;
            r.base = QString("scan_%1").arg(19000 + i, 4, 10, QChar('0'));
            r.center = QPointF((i % 3) * 2.8 + 1.4, (i / 3 % 4) * 2.9 + 1.5);
            r.size = QSizeF(2.5, 2.5);
            r.session = i / 12;
            history.push_back(r);
        }
        model->setHistory(history);

        model->setRegions(fortyRegions());
    }

    // The folder as it is between scans: last changed a while ago.
    void settle() const
    {
        const timespec past[2] = {{time(nullptr) - 60, 0}, {time(nullptr) - 60, 0}};
        utimensat(AT_FDCWD, QFile::encodeName(model->outputDir()).constData(), past, 0);
    }
};
