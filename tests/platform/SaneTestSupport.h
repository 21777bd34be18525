#pragma once

// SANE's test backend through the repository's own configuration (tests/data/sane: a
// dll.conf naming only `test`, so that no network or USB backend is ever asked, and a
// test.conf with one device, a 200 mm colour bed and 75 dpi by default).

#include <QDir>
#include <QString>

// The folder comes from the build: a compiler cache may turn __FILE__ into a relative path.
inline QString saneConfigDir() { return QDir(QString::fromUtf8(BIVARA_TEST_DATA)).absoluteFilePath("sane"); }

// Points SANE at our configuration; must run before the first SANE backend starts.
inline void useTestBackend()
{
    qputenv("SANE_CONFIG_DIR", QDir::cleanPath(saneConfigDir()).toUtf8());
}
